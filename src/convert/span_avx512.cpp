// The fast road in AVX-512, 32 input bytes a step.
//
// Each step loads 64 bytes (masked near the end of the span, so that
// nothing past it is read) and gives every one of its 32 input bytes two
// output slots: an ASCII byte [CR if it is an LF else 0, byte], a UTF-8
// lead byte the Shift_JIS bytes of its character (a single-byte code leaves
// one slot 0), a Shift_JIS lead byte and its trail byte the four bytes of
// packed UTF-8 between them, a continuation byte nothing. No byte the road
// writes is 0 (a NUL stops it), so one compress of the non-zero slots gives
// the step's output, LF as CR LF, without a branch. Steps advance by 32
// whatever they hold: a character cut by a step's end is taken whole by
// that step, and the next one knows which of its first bytes to skip.
//
// The lookups are plain scalar loads, in blocks of 64 steps: the block's
// keys are gathered by compresses into an array, looked up one after the
// other, and put back into their steps' slots by expands. A step holding
// anything else (a stop, a form the portable road takes but this one does
// not, a kana byte on the Shift_JIS side) ends the block and goes character
// by character through the scalar road below, which takes exactly the
// portable road's decisions; the next block starts after it. Runs of plain
// ASCII go straight to the output, with no block.
#include "convert/convert.h"

#if defined(KAWASE_X86_64)
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "convert/dense_tables.h"
#include "strutil/strutil.h"

#define KAWASE_AVX512_INLINE KAWASE_TARGET_AVX512 inline __attribute__((always_inline))

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

// vpermt2b indices making word i of byte i + 1 of the first vector and byte
// i of the second.
constexpr PairIndex makeKeys() {
  PairIndex t{};
  for (int i = 0; i < 32; i++) {
    t.at[2 * i] = static_cast<Byte>(i + 1);
    t.at[2 * i + 1] = static_cast<Byte>(64 + i);
  }
  return t;
}
constexpr PairIndex kKeys = makeKeys();

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

// Steps in a block. A block's keys are all gathered before any is looked
// up, and all looked up before any value goes back into its slots: a load
// right after the stores it reads from would wait for them to be written.
constexpr int kBlockSteps = 64;
constexpr int kBlockKeys = 32 * kBlockSteps + 32;  // room for the last whole-vector store

struct Block {
  uint16_t keys[kBlockKeys];
  // The keys' values: Shift_JIS bytes, or packed UTF-8 as two words each
  // after the word left over from the block before.
  uint16_t values[1 + 2 * kBlockKeys];
  // Each step's slots but for its keys' values; its lead bytes; the slots
  // its keys' values fill; the carry it started with.
  Byte slots[kBlockSteps][64];
  uint32_t leads[kBlockSteps];
  uint32_t filled[kBlockSteps];
  uint64_t carried[kBlockSteps];
};

// Bytes at q of the next step: 32 or what is left of the span.
inline size_t stepLength(const Byte* q, const Byte* e) {
  return e - q < 32 ? static_cast<size_t>(e - q) : 32;
}

// The step at q as step s of the block: its slots but for the lead bytes'
// codes, and the lead bytes' code points as keys, every position decoded as
// if a lead byte (two-byte forms from the pair at it, three-byte forms from
// the pair after it and its own low four bits). False, with nothing
// gathered, for a step that goes the scalar road. kWhole: 64 bytes lie at
// q, and the step is 32 of them.
template <bool kWhole>
KAWASE_AVX512_INLINE bool gatherUtf8(const Byte* q, const Byte* e, Block& b, int s,
                                     unsigned& keyCount, uint64_t& carried, __m512i pairIndex,
                                     __m512i nextIndex) {
  const auto left = static_cast<size_t>(e - q);
  const __m512i v = kWhole ? _mm512_loadu_si512(q) : _mm512_maskz_loadu_epi8(lowBits(left), q);
  const uint64_t in = kWhole ? 0xFFFFFFFFu : lowBits(stepLength(q, e));
  uint64_t high = _mm512_movepi8_mask(v);
  uint64_t nul = _mm512_testn_epi8_mask(v, v);
  uint64_t lf = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n'));
  uint64_t lead = _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(0xC0)));
  uint64_t fromE0 = _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(0xE0)));
  uint64_t fromF0 = _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(0xF0)));
  uint64_t cont = high & ~lead;
  lead &= in;
  uint64_t three = fromE0 & ~fromF0 & in;
  uint64_t expected = lead << 1 | three << 2 | carried;
  // Four-byte forms, the NUL, stray or missing continuation bytes and a
  // character cut short by the end of the span go the scalar road.
  if ((((fromF0 | nul | (cont ^ expected)) & in) | (expected & ~cont & ~in)) != 0) return false;
  auto lead32 = static_cast<uint32_t>(lead);
  __m512i pairs = permuteBytes(pairIndex, v);
  __m512i next = permuteBytes(nextIndex, v);
  __m512i weights = _mm512_set1_epi16(0x0140);  // 64 for the first byte, 1 for the second
  __m512i two = _mm512_maddubs_epi16(_mm512_and_si512(pairs, _mm512_set1_epi16(0x3F1F)), weights);
  __m512i tail = _mm512_maddubs_epi16(_mm512_and_si512(next, _mm512_set1_epi16(0x3F3F)), weights);
  __m512i cps = _mm512_mask_blend_epi16(static_cast<uint32_t>(three), two,
                                        _mm512_or_si512(tail, _mm512_slli_epi16(pairs, 12)));
  _mm512_storeu_si512(b.keys + keyCount, _mm512_maskz_compress_epi16(lead32, cps));
  keyCount += countBits(lead32);
  _mm512_storeu_si512(b.slots[s], asciiSlots(pairs, static_cast<uint32_t>(~high & in),
                                             static_cast<uint32_t>(lf & in)));
  b.leads[s] = lead32;
  b.carried[s] = carried;
  carried = expected >> 32;
  return true;
}

// The same for Shift_JIS: the slots of ASCII bytes, and the lead and trail
// byte pairs as keys. A kana byte goes the scalar road, as its three bytes
// of UTF-8 do not fit its two slots.
template <bool kWhole>
KAWASE_AVX512_INLINE bool gatherSjis(const Byte* q, const Byte* e, Block& b, int s,
                                     unsigned& keyCount, uint64_t& trailIn, __m512i pairIndex,
                                     __m512i keyIndex, const __m512i* rowTable) {
  const auto left = static_cast<size_t>(e - q);
  const __m512i v = kWhole ? _mm512_loadu_si512(q) : _mm512_maskz_loadu_epi8(lowBits(left), q);
  const uint64_t in = kWhole ? 0xFFFFFFFFu : lowBits(stepLength(q, e));
  uint64_t high = _mm512_movepi8_mask(v);
  uint64_t nul = _mm512_testn_epi8_mask(v, v);
  uint64_t lf = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n'));
  uint64_t kana = _mm512_cmple_epu8_mask(
      _mm512_sub_epi8(v, _mm512_set1_epi8(static_cast<char>(0xA1))), _mm512_set1_epi8(0xDF - 0xA1));
  // The leads both ways, so that the choice is all that waits on the step
  // before.
  uint64_t range = high & ~kana;
  uint64_t lead = selectBits(trailIn, leadBytes(range & ~1ull), leadBytes(range)) & in;
  uint64_t trail = lead << 1 | trailIn;
  uint64_t single = in & ~lead & ~trail;  // ASCII or kana
  if (((nul & in) | (kana & single)) != 0) return false;
  auto lead32 = static_cast<uint32_t>(lead);
  __m512i pairs = permuteBytes(pairIndex, v);
  // The key of each lead byte: its row of denseUtf8Rows (by the low seven
  // bits of the byte, all that tell lead bytes apart) and the byte after it.
  __m512i rows = _mm512_permutex2var_epi8(rowTable[0], v, rowTable[1]);
  __m512i keys = _mm512_permutex2var_epi8(v, keyIndex, rows);
  _mm512_storeu_si512(b.keys + keyCount, _mm512_maskz_compress_epi16(lead32, keys));
  keyCount += countBits(lead32);
  _mm512_storeu_si512(
      b.slots[s], asciiSlots(pairs, static_cast<uint32_t>(single), static_cast<uint32_t>(lf & in)));
  b.leads[s] = lead32;
  b.filled[s] = static_cast<uint32_t>(lead | trail);
  b.carried[s] = trailIn;
  trailIn = lead >> 31 & 1;
  return true;
}

// Stores the step's non-zero slots at o and returns the end of the output.
// A step that begins 32 bytes or more before the end of the span may store
// a whole vector: 64 bytes lie within the room of its 32 input bytes. The
// others store no byte beyond their output.
KAWASE_AVX512_INLINE Byte* storeSlots(__m512i slots, Byte* o, bool whole) {
  uint64_t used = _mm512_test_epi8_mask(slots, slots);
  unsigned n = countBits(used);
  __m512i out = _mm512_maskz_compress_epi8(used, slots);
  if (whole) {
    _mm512_storeu_si512(o, out);
  } else {
    _mm512_mask_storeu_epi8(o, lowBits(n), out);
  }
  return o + n;
}

// Steps of plain ASCII, the whole of ASCII text, straight to the output:
// no step of a block may be written before the lookups of the steps before
// it, but a run of steps without lookups may go at once.
KAWASE_AVX512_INLINE void asciiSteps(const Byte*& p, const Byte* e, Byte*& o, __m512i pairIndex) {
  while (e - p >= 64) {
    __m512i v = _mm512_loadu_si512(p);
    uint64_t stops = _mm512_movepi8_mask(v) | _mm512_testn_epi8_mask(v, v);
    if (static_cast<uint32_t>(stops) != 0) break;
    auto lf = static_cast<uint32_t>(_mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n')));
    o = storeSlots(asciiSlots(permuteBytes(pairIndex, v), ~0u, lf), o, true);
    p += 32;
  }
}

}  // namespace

KAWASE_TARGET_AVX512 const char* unitosjSpanAvx512(const char* src, const char* end, char** dst) {
  const auto* p = reinterpret_cast<const Byte*>(src);
  const auto* e = reinterpret_cast<const Byte*>(end);
  auto* o = reinterpret_cast<Byte*>(*dst);
  const __m512i pairIndex = _mm512_loadu_si512(kPairs.at);
  const __m512i nextIndex = _mm512_loadu_si512(kPairsNext.at);
  // Continuation bytes at p of a character that the step before took, as
  // the low bits of a mask.
  uint64_t carried = 0;
  Block b;
  while (p < e) {
    if (carried == 0) asciiSteps(p, e, o, pairIndex);
    const Byte* q = p;
    int steps = 0;
    bool scalar = false;
    unsigned keyCount = 0;
    for (; steps < kBlockSteps && e - q >= 64; steps++, q += 32)
      if (!gatherUtf8<true>(q, e, b, steps, keyCount, carried, pairIndex, nextIndex)) {
        scalar = true;
        break;
      }
    for (; !scalar && steps < kBlockSteps && q < e; steps++, q += stepLength(q, e))
      if (!gatherUtf8<false>(q, e, b, steps, keyCount, carried, pairIndex, nextIndex)) {
        scalar = true;
        break;
      }
#pragma GCC unroll 4
    for (unsigned i = 0, n = keyCount; i < n; i++) b.values[i] = denseSjisBmpBytes[b.keys[i]];
    const uint16_t* code = b.values;
    int done = 0;
    for (; done < steps; done++) {
      __m512i slots =
          _mm512_mask_expandloadu_epi16(_mm512_loadu_si512(b.slots[done]), b.leads[done], code);
      // A code point without a code, or a control character in a longer
      // form (C0 8A, E0 80 9A), which the table gives none either.
      if (_mm512_mask_cmpeq_epi16_mask(b.leads[done], slots, _mm512_set1_epi16(-1)) != 0) {
        scalar = true;
        carried = b.carried[done];
        break;
      }
      o = storeSlots(slots, o, e - p - 32 * done >= 32);
      code += countBits(b.leads[done]);
    }
    // Every step but the span's last is 32 bytes.
    p = done == steps ? q : p + 32 * done;
    if (scalar) {
      const Byte* stepEnd = p + stepLength(p, e);
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

KAWASE_TARGET_AVX512 const char* sjtouniSpanAvx512(const char* src, const char* end, char** dst) {
  const auto* p = reinterpret_cast<const Byte*>(src);
  const auto* e = reinterpret_cast<const Byte*>(end);
  auto* o = reinterpret_cast<Byte*>(*dst);
  const __m512i pairIndex = _mm512_loadu_si512(kPairs.at);
  const __m512i keyIndex = _mm512_loadu_si512(kKeys.at);
  const __m512i rowTable[2] = {_mm512_loadu_si512(denseUtf8Row + 128),
                               _mm512_loadu_si512(denseUtf8Row + 192)};
  // Whether the byte at p is the trail byte of a lead that ended the step
  // before (bit 0); b.values[0] then holds the last two bytes of that
  // character's UTF-8.
  uint64_t trailIn = 0;
  Block b;
  while (p < e) {
    if (trailIn == 0) asciiSteps(p, e, o, pairIndex);
    const Byte* q = p;
    int steps = 0;
    bool scalar = false;
    unsigned keyCount = 0;
    const uint16_t* word = b.values + 1 - trailIn;
    for (; steps < kBlockSteps && e - q >= 64; steps++, q += 32)
      if (!gatherSjis<true>(q, e, b, steps, keyCount, trailIn, pairIndex, keyIndex, rowTable)) {
        scalar = true;
        break;
      }
    for (; !scalar && steps < kBlockSteps && q < e; steps++, q += stepLength(q, e))
      if (!gatherSjis<false>(q, e, b, steps, keyCount, trailIn, pairIndex, keyIndex, rowTable)) {
        scalar = true;
        break;
      }
#pragma GCC unroll 4
    for (unsigned i = 0, n = keyCount; i < n; i++) {
      uint32_t key = b.keys[i];
      uint32_t packed = denseUtf8Rows[key >> 8][key & 0xFF];
      std::memcpy(&b.values[1 + 2 * i], &packed, 4);
    }
    int done = 0;
    for (; done < steps; done++) {
      __m512i slots =
          _mm512_mask_expandloadu_epi16(_mm512_loadu_si512(b.slots[done]), b.filled[done], word);
      // A key without a code point, including a lead byte whose trail
      // byte is missing, has no first byte of UTF-8.
      if (_mm512_mask_testn_epi16_mask(b.leads[done], slots, _mm512_set1_epi16(0xFF)) != 0) {
        scalar = true;
        trailIn = b.carried[done];
        break;
      }
      o = storeSlots(slots, o, e - p - 32 * done >= 32);
      word += countBits(b.filled[done]);
    }
    // Every step but the span's last is 32 bytes.
    p = done == steps ? q : p + 32 * done;
    // The rest of the character begun in the step before.
    uint16_t rest = trailIn != 0 ? *word : 0;
    if (scalar) {
      const Byte* stepEnd = p + stepLength(p, e);
      if (trailIn != 0) {
        for (int i = 0; i < 2 && (rest >> 8 * i & 0xFF) != 0; i++)
          *o++ = static_cast<Byte>(rest >> 8 * i);
        p++;
      }
      while (p < stepEnd)
        if (!sjtouniOne(p, e, o)) goto stop;
      trailIn = 0;
    }
    b.values[0] = rest;
  }
stop:
  *dst = reinterpret_cast<char*>(o);
  return reinterpret_cast<const char*>(p);
}

}  // namespace kawase
#endif
