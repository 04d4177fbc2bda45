// Small helpers shared by the fuzz targets: a check that aborts (so both
// libFuzzer and the corpus replay see a failure), heap copies of exactly
// the size a contract promises (so AddressSanitizer sees the first byte
// past it), and a silent error stream for the converters' reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/textstream.h"

// The entry point of every target, called by libFuzzer or by the replay.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace kawase::fuzz {

[[noreturn]] inline void checkFailed(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

}  // namespace kawase::fuzz

#define FUZZ_CHECK(cond) \
  ((cond) ? static_cast<void>(0) : ::kawase::fuzz::checkFailed(__FILE__, __LINE__, #cond))

namespace kawase::fuzz {

// The little-endian 16-bit value of p[0] and p[1].
inline unsigned le16(const uint8_t* p) {
  return static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8;
}

// A heap block of exactly `size` bytes, released at the end of the scope.
struct Block {
  char* bytes;
  explicit Block(size_t size) : bytes(static_cast<char*>(std::malloc(size == 0 ? 1 : size))) {
    if (bytes == nullptr) std::abort();
  }
  ~Block() { std::free(bytes); }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
};

// A NUL-terminated copy of data[0, n) in a block of exactly n + 1 bytes.
// The bytes must not hold a NUL for the copy to be the whole string.
struct CString : Block {
  CString(const void* data, size_t n) : Block(n + 1) {
    if (n > 0) std::memcpy(bytes, data, n);
    bytes[n] = '\0';
  }
};

// Counts what is written to it and keeps none of it.
struct Sink {
  long bytes = 0;
};

inline long sinkRead(void*, unsigned char*, long) {
  return -1;
}
inline long sinkWrite(void* h, const unsigned char*, long n) {
  static_cast<Sink*>(h)->bytes += n;
  return n;
}
inline int sinkClose(void*) {
  return 0;
}
inline const StreamOps sinkOps = {sinkRead, sinkWrite, sinkClose};

// Standard error goes into a sink for the rest of the run: the converters
// report every unmapped character there, which would flood the fuzzer's
// output. Returns the sink, whose count tells whether anything was reported.
inline Sink* silenceStderr() {
  static Sink sink;
  static bool done = false;
  if (!done) {
    replaceStdStream(kStderr, streamOpenOps(&sinkOps, &sink, "w", 0));
    done = true;
  }
  return &sink;
}

}  // namespace kawase::fuzz
