// Runs of plain ASCII, which both converters copy unchanged but for the
// LF, which the fast road writes as CR LF, as the text stream would. Two
// ways to copy a run: the portable one, eight bytes a step, and the SSSE3
// one, sixteen bytes a step with the CRs put in by table shuffles; the fast
// road is built once with each, for the kernel table (kernels.h).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/crlf.h"

namespace kawase {

// A byte of a run: neither NUL nor 0x80 and up. The NUL stops the run, so
// that the caller sees it.
inline bool plainAscii(unsigned char c) {
  return c - 1u < 0x7Fu;
}

struct AsciiPortable {
  // Copies the run of plain ASCII bytes at p, up to e, to *o, each LF as CR
  // LF, advances *o and returns the run's length. Eight bytes without an LF
  // go as one copy.
  static size_t copyRun(const unsigned char* p, const unsigned char* e, unsigned char** o) {
    constexpr uint64_t kOnes = 0x0101010101010101u;
    constexpr uint64_t kHigh = 0x8080808080808080u;
    const unsigned char* q = p;
    unsigned char* out = *o;
    for (;;) {
      while (e - q >= 8) {
        uint64_t w;
        std::memcpy(&w, q, 8);
        uint64_t lf = w ^ (kOnes * '\n');
        // Some byte is 0x80 and up, NUL or LF.
        if (((w | ((w - kOnes) & ~w) | ((lf - kOnes) & ~lf)) & kHigh) != 0) break;
        std::memcpy(out, q, 8);
        q += 8;
        out += 8;
      }
      if (q == e || !plainAscii(*q)) break;
      if (*q == '\n') *out++ = '\r';
      *out++ = *q++;
    }
    *o = out;
    return static_cast<size_t>(q - p);
  }
};

#if defined(KAWASE_X86)
struct AsciiSsse3 {
  // As AsciiPortable::copyRun, sixteen bytes a step: each block is stored
  // with its CR LFs as it is checked, and where the run ends inside it only
  // the output of the bytes before the end counts. A block's store reaches
  // no further than twice its length beyond the output of what came before,
  // which the callers' room allows.
  __attribute__((target("ssse3"))) static size_t copyRun(const unsigned char* p,
                                                         const unsigned char* e,
                                                         unsigned char** o) {
    const __m128i lf = _mm_set1_epi8('\n');
    const unsigned char* q = p;
    unsigned char* out = *o;
    while (e - q >= 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
      auto stops = static_cast<unsigned>(_mm_movemask_epi8(v) |
                                         _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())));
      auto lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
      unsigned char* next = storeWithCrLf(v, lfs, out);
      if (stops != 0) {
        int k = std::countr_zero(stops);
        // The LFs before the end, counted by the table (a popcount needs
        // more than SSSE3).
        unsigned before = lfs & ((1u << k) - 1);
        *o = out + k + kLfShuffle.grow[before & 0xFF] + kLfShuffle.grow[before >> 8];
        return static_cast<size_t>(q - p + k);
      }
      out = next;
      q += 16;
    }
    *o = out;
    size_t n = static_cast<size_t>(q - p);
    return n + AsciiPortable::copyRun(q, e, o);
  }
};
#endif

#if defined(KAWASE_X86_64)
struct AsciiAvx512 {
  // As AsciiPortable::copyRun, thirty-two bytes a step stored with their
  // CR LFs; where the run ends inside a step, only the output of the bytes
  // before the end.
  KAWASE_TARGET_AVX512 static size_t copyRun(const unsigned char* p, const unsigned char* e,
                                             unsigned char** o) {
    const __m512i lf = _mm512_set1_epi8('\n');
    constexpr __mmask64 kHalf = 0xFFFFFFFFu;
    const unsigned char* q = p;
    unsigned char* out = *o;
    while (e - q >= 32) {
      __m512i v = _mm512_maskz_loadu_epi8(kHalf, q);
      // 0x80 and up, or NUL, ends the run.
      uint64_t stops =
          (_mm512_movepi8_mask(v) | _mm512_cmpeq_epi8_mask(v, _mm512_setzero_si512())) & kHalf;
      unsigned k = stops != 0 ? static_cast<unsigned>(_tzcnt_u64(stops)) : 32;
      out = storeWithCrLfAvx512(v, _mm512_mask_cmpeq_epi8_mask(kHalf, v, lf), k, out);
      q += k;
      if (k < 32) {
        *o = out;
        return static_cast<size_t>(q - p);
      }
    }
    *o = out;
    size_t n = static_cast<size_t>(q - p);
    return n + AsciiPortable::copyRun(q, e, o);
  }
};
#endif

}  // namespace kawase
