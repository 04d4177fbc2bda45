// The byte loops that have vector forms, behind one table of functions:
// the text streams' CR/Ctrl-Z scan and LF expansion, the converters'
// ASCII-run copy and their fast road. There is an instance for each
// instruction set the loops are written for; the portable one is plain C++
// and the reference that every other must match byte for byte. The program
// runs the best instance its processor has, chosen once at the first use,
// so that one program starts and runs on any x86 processor. Tests and fuzz
// targets take each instance the host runs and compare it with the
// portable one on the same bytes.
#pragma once

#include <cstddef>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define KAWASE_X86 1
#endif

// The AVX-512 instance needs 64-bit masks, so it exists on x86-64 alone;
// its functions are built for these extensions whatever the build's own
// target, and run only where the processor has them all.
#if defined(__GNUC__) && defined(__x86_64__)
#define KAWASE_X86_64 1
#define KAWASE_TARGET_AVX512 \
  __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt")))
#endif

namespace kawase {

struct Kernels {
  // A block read from a text stream, made its text in place: cut at its
  // first Ctrl-Z (which sets *ended) and every CR dropped. Returns the new
  // length.
  long (*textOfBlock)(unsigned char* buf, long n, bool* ended);

  // Text written to a text stream: appends in[0, n) at out + *len, each LF
  // as CR LF, until all of it is in or *len has reached `limit`. No byte
  // starts at or past `limit`, but an LF's CR LF may end one byte past it
  // (out must have room for limit + 1 bytes). Returns how many input bytes
  // went in; *len is advanced. Every instance stops at the same byte.
  long (*appendCrLf)(const unsigned char* in, long n, unsigned char* out, long* len, long limit);

  // Copies the run of plain ASCII bytes (neither NUL nor 0x80 and up) at p,
  // up to e, to *o, each LF as CR LF; advances *o and returns the run's
  // length. It may store up to twice the run's length plus 64 bytes beyond
  // *o, within the room the fast road's callers give.
  size_t (*copyAscii)(const unsigned char* p, const unsigned char* e, unsigned char** o);

  // The fast road, UTF-8 to Shift_JIS and Shift_JIS to UTF-8 (convert.h).
  const char* (*unitosjSpan)(const char* src, const char* end, char** dst);
  const char* (*sjtouniSpan)(const char* src, const char* end, char** dst);
};

enum class Isa { kPortable, kSsse3, kAvx512 };
inline constexpr Isa kAllIsas[] = {Isa::kPortable, Isa::kSsse3, Isa::kAvx512};

// "portable", "ssse3", "avx512": the name of the instance for `isa`.
const char* isaName(Isa isa);

// The instance for `isa`, or null where this build or this processor lacks
// it. The portable one is always there.
const Kernels* kernelsFor(Isa isa);

// The instance the program runs: the last of kAllIsas that kernelsFor
// gives.
const Kernels& kernels();

}  // namespace kawase
