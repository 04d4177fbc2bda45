// Sixteen bytes written with a CR before each LF, in two table shuffles and
// no branch, whatever LFs they hold: the text streams' writer and the
// converters' fast road both put LF out as CR LF this way.
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
