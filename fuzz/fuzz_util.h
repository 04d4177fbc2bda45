// A check that aborts, so that libFuzzer and the replay both see it fail,
// and heap blocks of exactly the promised size, so that ASan sees past one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The entry point of every target, called by libFuzzer or by the replay.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

#define FUZZ_CHECK(cond)                                                                   \
  ((cond) ? static_cast<void>(0)                                                           \
          : (std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond), \
             std::abort()))

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

// data[0, n) and a NUL in a block of exactly n + 1 bytes.
struct CString : Block {
  CString(const void* data, size_t n) : Block(n + 1) {
    if (n > 0) std::memcpy(bytes, data, n);
    bytes[n] = '\0';
  }
};

}  // namespace kawase::fuzz
