// The fast road in AVX-512, 32 input bytes a step.
//
// Each step loads 64 bytes (masked at the end of the span, so that nothing
// past it is read) and gives every one of its 32 input bytes two output
// slots: an ASCII byte [CR if it is an LF else 0, byte], a UTF-8 lead byte
// the Shift_JIS code of its character (a single-byte code leaves the first
// slot 0), a Shift_JIS lead byte and its trail byte the four bytes of packed
// UTF-8 between them, a continuation byte nothing. No byte the road writes
// is 0 (a NUL stops it), so one compress of the non-zero slots gives the
// step's output, LF as CR LF, without a branch.
//
// The code lookups are plain scalar loads: the keys of a step are gathered
// into a small array by a compress, looked up one by one and put back into
// their slots by an expand. A step holding anything else (a stop, a
// character the portable road takes in a rarer form, a kana byte on the
// Shift_JIS side) goes character by character through the scalar road
// below, which takes exactly the portable road's decisions, and the steps
// after it go on from where it ended.
#include "convert/span_avx512.h"

#if KAWASE_HAVE_AVX512_SPANS
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "convert/dense_tables.h"
#include "strutil/strutil.h"

#define KAWASE_AVX512 \
  __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt")))
#define KAWASE_AVX512_INLINE KAWASE_AVX512 inline __attribute__((always_inline))

namespace kawase {

namespace {

using Byte = unsigned char;

constexpr uint64_t kEven = 0x5555555555555555u;

// vpermb indices making word i of the bytes i and i + 1 (kPairs) or i + 1
// and i + 2 (kPairsNext).
struct PairIndex {
  Byte at[64];
};
constexpr PairIndex makePairs(int from) {
  PairIndex t{};
  for (int i = 0; i < 32; i++) {
    t.at[2 * i] = static_cast<Byte>(i + from);
    t.at[2 * i + 1] = static_cast<Byte>(i + from + 1);
  }
  return t;
}
constexpr PairIndex kPairs = makePairs(0);
constexpr PairIndex kPairsNext = makePairs(1);

KAWASE_AVX512_INLINE uint64_t lowBits(size_t n) {
  return _bzhi_u64(~0ull, static_cast<unsigned>(n < 64 ? n : 64));
}

KAWASE_AVX512_INLINE unsigned countBits(uint64_t m) {
  return static_cast<unsigned>(_mm_popcnt_u64(m));
}

// vpermb; the unmasked intrinsic's undefined pass-through value draws a
// warning from GCC 12's headers.
KAWASE_AVX512_INLINE __m512i permuteBytes(__m512i index, __m512i v) {
  return _mm512_maskz_permutexvar_epi8(~0ull, index, v);
}

// Stores the step's non-zero slots at o and returns the end of the output.
// The masked store writes no byte beyond the output.
KAWASE_AVX512_INLINE Byte* storeSlots(__m512i slots, Byte* o) {
  uint64_t used = _mm512_test_epi8_mask(slots, slots);
  unsigned n = countBits(used);
  _mm512_mask_storeu_epi8(o, lowBits(n), _mm512_maskz_compress_epi8(used, slots));
  return o + n;
}

// The slots of the ASCII bytes among the step's words of pairs: [0, byte],
// or [CR, LF].
KAWASE_AVX512_INLINE __m512i asciiSlots(__m512i pairs, uint32_t ascii, uint32_t lfs) {
  __m512i slots = _mm512_maskz_slli_epi16(ascii, pairs, 8);
  return _mm512_mask_mov_epi16(slots, lfs, _mm512_set1_epi16(0x0A0D));
}

// The scalar road, one character at a time, as the portable road takes it:
// false, with nothing written, where that road stops.
inline bool unitosjOne(const Byte*& p, const Byte* e, Byte*& o) {
  uint32_t b0 = *p;
  if (b0 < 0x80) {
    if (b0 == 0) return false;
    if (b0 == '\n') *o++ = '\r';
    *o++ = static_cast<Byte>(b0);
    p++;
    return true;
  }
  // A stray continuation byte stands alone and is its own code point.
  int len = b0 < 0xC0 ? 1 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
  if (e - p < len) return false;
  uint32_t cp = b0 & (len == 1 ? 0xFF : 0x7Fu >> len);
  for (int i = 1; i < len; i++) {
    if ((p[i] & 0xC0) != 0x80) return false;
    cp = cp << 6 | (p[i] & 0x3F);
  }
  uint32_t code = denseSjisOf(cp);
  // A control character in a longer form goes to the full converter too.
  if (code == 0xFFFF || cp < 0x20) return false;
  if (code >= 0x100) *o++ = static_cast<Byte>(code >> 8);
  *o++ = static_cast<Byte>(code);
  p += len;
  return true;
}

inline bool sjtouniOne(const Byte*& p, const Byte* e, Byte*& o) {
  uint32_t b0 = *p;
  if (b0 < 0x80) {
    if (b0 == 0) return false;
    if (b0 == '\n') *o++ = '\r';
    *o++ = static_cast<Byte>(b0);
    p++;
    return true;
  }
  uint32_t packed = 0;
  int step = 1;
  if (isKanaByte(static_cast<Byte>(b0))) {
    packed = denseUtf8Single[b0];
  } else if (e - p >= 2) {
    packed = denseUtf8Rows[denseUtf8Row[b0]][p[1]];
    step = 2;
  }
  if (packed == 0) return false;
  for (int i = 0; i < 4 && (packed >> 8 * i & 0xFF) != 0; i++)
    *o++ = static_cast<Byte>(packed >> 8 * i);
  p += step;
  return true;
}

// Steps in a block. A block's keys are all gathered before any is looked
// up, and all looked up before any code goes back into its slots: a load
// right after the stores it reads from would wait for them to be written.
constexpr int kBlockSteps = 64;
constexpr int kBlockKeys = 32 * kBlockSteps + 32;

// The Shift_JIS lead bytes among the bytes of the lead range, given that
// the first byte follows no lead: the even offsets of each run. Adding the
// runs' first bytes at even positions to the runs clears those runs by the
// carry.
inline uint64_t leadBytes(uint64_t range) {
  uint64_t first = range & ~(range << 1);
  uint64_t evenRuns = range & ~(range + (first & kEven));
  return (evenRuns & kEven) | (range & ~evenRuns & ~kEven);
}

// a where the bit is 1, else b, without a branch.
inline uint64_t selectBits(uint64_t bit, uint64_t a, uint64_t b) {
  uint64_t all = 0 - bit;
  return (a & all) | (b & ~all);
}

}  // namespace

KAWASE_AVX512 const char* unitosjSpanAvx512(const char* src, const char* end, char** dst) {
  const auto* p = reinterpret_cast<const Byte*>(src);
  const auto* e = reinterpret_cast<const Byte*>(end);
  auto* o = reinterpret_cast<Byte*>(*dst);
  const __m512i pairIndex = _mm512_loadu_si512(kPairs.at);
  const __m512i nextIndex = _mm512_loadu_si512(kPairsNext.at);
  // Continuation bytes at p of a character that the step before took, as
  // the low bits of a mask.
  uint64_t carried = 0;
  // A block's keys and codes (the last compress stores a whole vector), and
  // each step's slots before its lead bytes' codes go in.
  uint16_t keys[kBlockKeys], codes[kBlockKeys];
  Byte slotsOf[kBlockSteps][64];
  uint32_t leadsOf[kBlockSteps];
  uint64_t carriedOf[kBlockSteps];
  while (p < e) {
    const Byte* q = p;
    int steps = 0;
    unsigned keyCount = 0;
    bool scalar = false;
    for (; steps < kBlockSteps && q < e; steps++) {
      auto left = static_cast<size_t>(e - q);
      __m512i v = _mm512_maskz_loadu_epi8(lowBits(left), q);
      size_t step = left < 32 ? left : 32;
      uint64_t in = lowBits(step);
      uint64_t high = _mm512_movepi8_mask(v);
      uint64_t nul = _mm512_testn_epi8_mask(v, v) & in;
      uint64_t lf = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n')) & in;
      uint64_t lead = _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(0xC0)));
      uint64_t fromE0 = _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(0xE0)));
      uint64_t fromF0 = _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(0xF0)));
      uint64_t cont = high & ~lead;
      lead &= in;
      uint64_t three = fromE0 & ~fromF0 & in;
      uint64_t expected = lead << 1 | three << 2 | carried;
      auto lead32 = static_cast<uint32_t>(lead);
      // Every position decoded as if a lead byte: two-byte forms from the
      // pair at it, three-byte forms from the pair after it and its own
      // low four bits.
      __m512i pairs = permuteBytes(pairIndex, v);
      __m512i next = permuteBytes(nextIndex, v);
      __m512i weights = _mm512_set1_epi16(0x0140);  // 64 for the first byte, 1 for the second
      __m512i two =
          _mm512_maddubs_epi16(_mm512_and_si512(pairs, _mm512_set1_epi16(0x3F1F)), weights);
      __m512i tail =
          _mm512_maddubs_epi16(_mm512_and_si512(next, _mm512_set1_epi16(0x3F3F)), weights);
      __m512i cps = _mm512_mask_blend_epi16(static_cast<uint32_t>(three), two,
                                            _mm512_or_si512(tail, _mm512_slli_epi16(pairs, 12)));
      // Four-byte forms, stray or missing continuation bytes, a character
      // cut short by the end of the span, the NUL and a control character
      // in a longer form (C0 8A, E0 80 9A) go the scalar road.
      if (((fromF0 & in) | nul | ((cont ^ expected) & in) | (expected & ~cont & ~in)) != 0 ||
          _mm512_mask_cmplt_epu16_mask(lead32, cps, _mm512_set1_epi16(0x20)) != 0) {
        scalar = true;
        break;
      }
      _mm512_storeu_si512(keys + keyCount, _mm512_maskz_compress_epi16(lead32, cps));
      keyCount += countBits(lead32);
      _mm512_storeu_si512(slotsOf[steps], asciiSlots(pairs, static_cast<uint32_t>(~high & in),
                                                     static_cast<uint32_t>(lf)));
      leadsOf[steps] = lead32;
      carriedOf[steps] = carried;
      carried = expected >> 32;
      q += step;
    }
    for (unsigned i = 0; i < keyCount; i++) codes[i] = denseSjisBmpBytes[keys[i]];
    const uint16_t* code = codes;
    int done = 0;
    for (; done < steps; done++) {
      __m512i slots =
          _mm512_mask_expandloadu_epi16(_mm512_loadu_si512(slotsOf[done]), leadsOf[done], code);
      if (_mm512_mask_cmpeq_epi16_mask(leadsOf[done], slots, _mm512_set1_epi16(-1)) != 0) {
        scalar = true;
        carried = carriedOf[done];
        break;
      }
      o = storeSlots(slots, o);
      code += countBits(leadsOf[done]);
    }
    p = done == steps ? q : p + 32 * done;
    if (scalar) {
      const Byte* stepEnd = e - p < 32 ? e : p + 32;
      p += countBits(carried);
      while (p < stepEnd)
        if (!unitosjOne(p, e, o)) goto stop;
      carried = 0;
    }
  }
stop:
  *dst = reinterpret_cast<char*>(o);
  return reinterpret_cast<const char*>(p);
}

KAWASE_AVX512 const char* sjtouniSpanAvx512(const char* src, const char* end, char** dst) {
  const auto* p = reinterpret_cast<const Byte*>(src);
  const auto* e = reinterpret_cast<const Byte*>(end);
  auto* o = reinterpret_cast<Byte*>(*dst);
  const __m512i pairIndex = _mm512_loadu_si512(kPairs.at);
  // Whether the byte at p is the trail byte of a lead that ended the step
  // before (bit 0); words[0] then holds the last two bytes of that
  // character's UTF-8.
  uint64_t trailIn = 0;
  // A block's keys, their packed UTF-8 as words, and each step's slots
  // before its keys' words go in.
  uint16_t keys[kBlockKeys], words[1 + 2 * kBlockKeys];
  Byte slotsOf[kBlockSteps][64];
  uint32_t leadsOf[kBlockSteps], filledOf[kBlockSteps];
  uint64_t trailInOf[kBlockSteps];
  while (p < e) {
    const Byte* q = p;
    int steps = 0;
    unsigned keyCount = 0;
    bool scalar = false;
    uint64_t trailAt0 = trailIn;
    for (; steps < kBlockSteps && q < e; steps++) {
      auto left = static_cast<size_t>(e - q);
      __m512i v = _mm512_maskz_loadu_epi8(lowBits(left), q);
      size_t step = left < 32 ? left : 32;
      uint64_t in = lowBits(step);
      uint64_t high = _mm512_movepi8_mask(v);
      uint64_t nul = _mm512_testn_epi8_mask(v, v) & in;
      uint64_t lf = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n')) & in;
      uint64_t kana =
          _mm512_cmple_epu8_mask(_mm512_sub_epi8(v, _mm512_set1_epi8(static_cast<char>(0xA1))),
                                 _mm512_set1_epi8(0xDF - 0xA1));
      // The leads both ways, so that the choice is all that waits on the
      // step before.
      uint64_t range = high & ~kana;
      uint64_t lead = selectBits(trailAt0, leadBytes(range & ~1ull), leadBytes(range)) & in;
      uint64_t trail = lead << 1 | trailAt0;
      auto lead32 = static_cast<uint32_t>(lead);
      auto byte32 = static_cast<uint32_t>(in & ~lead & ~trail);  // ASCII or kana
      // The NUL and kana bytes go the scalar road.
      if ((nul | (kana & byte32)) != 0) {
        scalar = true;
        break;
      }
      __m512i pairs = permuteBytes(pairIndex, v);
      _mm512_storeu_si512(keys + keyCount, _mm512_maskz_compress_epi16(lead32, pairs));
      keyCount += countBits(lead32);
      _mm512_storeu_si512(slotsOf[steps], asciiSlots(pairs, byte32, static_cast<uint32_t>(lf)));
      leadsOf[steps] = lead32;
      filledOf[steps] = static_cast<uint32_t>(lead | trail);
      trailInOf[steps] = trailAt0;
      trailAt0 = lead >> 31 & 1;
      q += step;
    }
    for (unsigned i = 0; i < keyCount; i++) {
      uint32_t key = keys[i];
      uint32_t packed = denseUtf8Rows[denseUtf8Row[key & 0xFF]][key >> 8];
      std::memcpy(&words[1 + 2 * i], &packed, 4);
    }
    const uint16_t* word = words + 1 - trailIn;
    int done = 0;
    for (; done < steps; done++) {
      __m512i slots =
          _mm512_mask_expandloadu_epi16(_mm512_loadu_si512(slotsOf[done]), filledOf[done], word);
      // A key without a code point, including a lead byte whose trail
      // byte is missing, has no first byte of UTF-8.
      if (_mm512_mask_testn_epi16_mask(leadsOf[done], slots, _mm512_set1_epi16(0xFF)) != 0) {
        scalar = true;
        break;
      }
      o = storeSlots(slots, o);
      word += countBits(filledOf[done]);
    }
    p = done == steps ? q : p + 32 * done;
    trailIn = done == steps ? trailAt0 : trailInOf[done];
    // The rest of the character begun in the step before.
    uint16_t rest = trailIn != 0 ? *word : 0;
    if (scalar) {
      if (trailIn != 0) {
        for (int i = 0; i < 2 && (rest >> 8 * i & 0xFF) != 0; i++)
          *o++ = static_cast<Byte>(rest >> 8 * i);
        p++;
      }
      const Byte* stepEnd = e - p < 32 - static_cast<ptrdiff_t>(trailIn) ? e : p + 32 - trailIn;
      while (p < stepEnd)
        if (!sjtouniOne(p, e, o)) goto stop;
      trailIn = 0;
    }
    words[0] = rest;
  }
stop:
  *dst = reinterpret_cast<char*>(o);
  return reinterpret_cast<const char*>(p);
}

}  // namespace kawase
#endif
