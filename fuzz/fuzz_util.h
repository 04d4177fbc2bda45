// A check that fails loudly, so that libFuzzer and the replay see it, and
// heap blocks of exactly the promised size, so that ASan sees past one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The entry point of every target, called by libFuzzer or by the replay.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace kawase::fuzz {

// What a failed check does: by default it prints the check and aborts, so
// that libFuzzer and the replay see it fail. A unit test that runs a target
// over its own inputs puts a function here that throws instead, and names
// the failing input in its own assertion.
inline void abortOnFailure(const char* check) {
  std::fprintf(stderr, "%s\n", check);
  std::abort();
}
inline void (*checkFailed)(const char* check) = abortOnFailure;

}  // namespace kawase::fuzz

#define FUZZ_STRING(x) #x
#define FUZZ_LINE(line) FUZZ_STRING(line)
#define FUZZ_CHECK(cond)         \
  ((cond) ? static_cast<void>(0) \
          : kawase::fuzz::checkFailed(__FILE__ ":" FUZZ_LINE(__LINE__) ": check failed: " #cond))

namespace kawase {
struct Kernels;
}

namespace kawase::fuzz {

// The convert target's checks, for tests that run them over inputs of
// their own: the full converters, and one instance of the kernel table
// against the portable one and the full converters.
void checkConverters(const uint8_t* data, size_t size);
void checkKernels(const Kernels& k, const uint8_t* data, size_t size);

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

// data[0, n) and a NUL in a block of exactly n + 1 bytes.
struct CString : Block {
  CString(const void* data, size_t n) : Block(n + 1) {
    if (n > 0) std::memcpy(bytes, data, n);
    bytes[n] = '\0';
  }
};

}  // namespace kawase::fuzz
