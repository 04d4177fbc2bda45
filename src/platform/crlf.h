// Bytes written with a CR before each LF, with no branch whatever LFs they
// hold: sixteen in two table shuffles (SSSE3), or thirty-two in one
// compress (AVX-512). The text streams' writer and the converters' fast
// road both put LF out as CR LF this way.
#pragma once

#include "platform/kernels.h"

#if defined(KAWASE_X86)
#include <tmmintrin.h>

namespace kawase {

// For each pattern of LFs among 8 bytes: the byte shuffle that spreads the
// 8 bytes out with a gap before each LF, the CRs that fill the gaps, and how
// many bytes the 8 grow by.
struct LfShuffle {
  unsigned char order[256][16];
  unsigned char crs[256][16];
  unsigned char grow[256];
};

constexpr LfShuffle makeLfShuffle() {
  LfShuffle t{};
  for (int lfs = 0; lfs < 256; lfs++) {
    int at = 0;
    for (int i = 0; i < 16; i++) t.order[lfs][i] = 0x80;  // 0x80 yields a zero byte
    for (int i = 0; i < 8; i++) {
      if ((lfs >> i & 1) != 0) t.crs[lfs][at++] = '\r';
      t.order[lfs][at++] = static_cast<unsigned char>(i);
    }
    t.grow[lfs] = static_cast<unsigned char>(at - 8);
  }
  return t;
}

alignas(16) inline constexpr LfShuffle kLfShuffle = makeLfShuffle();

// Stores the 16 bytes of v at o, each LF as CR LF, given the mask of the
// LFs among them; returns the end of the output. Up to 32 bytes are stored
// whatever the output's length.
__attribute__((target("ssse3"))) inline unsigned char* storeWithCrLf(__m128i v, unsigned lfs,
                                                                     unsigned char* o) {
  const unsigned halves[2] = {lfs & 0xFF, lfs >> 8 & 0xFF};
  for (unsigned half : halves) {
    const auto* order = reinterpret_cast<const __m128i*>(kLfShuffle.order[half]);
    const auto* crs = reinterpret_cast<const __m128i*>(kLfShuffle.crs[half]);
    __m128i out = _mm_or_si128(_mm_shuffle_epi8(v, _mm_load_si128(order)), _mm_load_si128(crs));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), out);
    o += 8 + kLfShuffle.grow[half];
    v = _mm_srli_si128(v, 8);
  }
  return o;
}

}  // namespace kawase
#endif

#if defined(KAWASE_X86_64)
#include <immintrin.h>

namespace kawase {

// Stores the first k (at most 32) of the bytes of v at o, each LF as CR LF,
// given the mask of the LFs among them, and returns the end of the output;
// nothing is stored beyond it. Each byte is spread to the second of two
// slots, with a CR in the first, and the slots are compressed to the bytes
// and the CRs of the LFs.
KAWASE_TARGET_AVX512 inline unsigned char* storeWithCrLfAvx512(__m512i v, uint64_t lfs, unsigned k,
                                                               unsigned char* o) {
  constexpr uint64_t kEven = 0x5555555555555555u;
  const __m512i spread =
      _mm512_set_epi8(31, 0, 30, 0, 29, 0, 28, 0, 27, 0, 26, 0, 25, 0, 24, 0, 23, 0, 22, 0, 21, 0,
                      20, 0, 19, 0, 18, 0, 17, 0, 16, 0, 15, 0, 14, 0, 13, 0, 12, 0, 11, 0, 10, 0,
                      9, 0, 8, 0, 7, 0, 6, 0, 5, 0, 4, 0, 3, 0, 2, 0, 1, 0, 0, 0);
  lfs = _bzhi_u64(lfs, k);
  __m512i slots = _mm512_mask_permutexvar_epi8(_mm512_set1_epi8('\r'), ~kEven, spread, v);
  __mmask64 keep = _bzhi_u64(~kEven, 2 * k) | _pdep_u64(lfs, kEven);
  auto count = static_cast<unsigned>(k + _mm_popcnt_u64(lfs));
  _mm512_mask_storeu_epi8(o, _bzhi_u64(~0ull, count), _mm512_maskz_compress_epi8(keep, slots));
  return o + count;
}

}  // namespace kawase
#endif
