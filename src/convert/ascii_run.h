// Runs of plain ASCII, which both converters copy unchanged, found sixteen
// bytes at a time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kawase {

// Bit i set when byte i of the 16 at p is not plain ASCII: 0x00, or 0x80
// and up. The NUL counts, so that the caller sees it.
inline unsigned notPlainAscii16(const unsigned char* p) {
#if defined(__SSE2__)
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return static_cast<unsigned>(_mm_movemask_epi8(v) |
                               _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())));
#else
  unsigned stops = 0;
  for (int i = 0; i < 16; i++)
    if (p[i] - 1u >= 0x7Fu) stops |= 1u << i;
  return stops;
#endif
}

// Copies the run of plain ASCII bytes at p, up to e, to o and returns its
// length. Whole blocks of 16 bytes are copied as they are checked (the
// caller has room for a block beyond the run), so a long run costs one
// predictable branch per block.
inline size_t copyAsciiRun(const unsigned char* p, const unsigned char* e, unsigned char* o) {
  size_t n = 0;
  size_t len = static_cast<size_t>(e - p);
  while (len - n >= 16) {
    unsigned stops = notPlainAscii16(p + n);
    std::memcpy(o + n, p + n, 16);
    if (stops != 0) return n + static_cast<size_t>(std::countr_zero(stops));
    n += 16;
  }
  while (n < len && p[n] - 1u < 0x7Fu) {
    o[n] = p[n];
    n++;
  }
  return n;
}

}  // namespace kawase
