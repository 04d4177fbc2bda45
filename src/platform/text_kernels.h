// The text streams' two loops, one function for each instruction set; the
// kernel table (kernels.h) holds them.
#pragma once

namespace kawase {

long textOfBlockPortable(unsigned char* buf, long n, bool* ended);
long appendCrLfPortable(const unsigned char* in, long n, unsigned char* out, long* len, long limit);

long textOfBlockSsse3(unsigned char* buf, long n, bool* ended);
long appendCrLfSsse3(const unsigned char* in, long n, unsigned char* out, long* len, long limit);

long textOfBlockAvx512(unsigned char* buf, long n, bool* ended);
long appendCrLfAvx512(const unsigned char* in, long n, unsigned char* out, long* len, long limit);

}  // namespace kawase
