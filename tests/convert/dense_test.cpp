// The dense tables answer exactly what the binary searches answer, for every
// value a converter can look up; and the converters' fast road writes exactly
// what the full converters write, or hands the line back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "convert/convert.h"
#include "convert/dense_tables.h"
#include "convert/tables.h"
#include "testutil/codes.h"
#include "testutil/memstream.h"

namespace kawase {
namespace {

using test::sjisBytes;
using test::utf8;

using test::CaptureStd;
using namespace std::string_literals;

// Standard UTF-8 packed from the low byte up; independent of the generator.
uint32_t packUtf8(int32_t cp) {
  const auto u = static_cast<uint32_t>(cp);
  if (u < 0x80) return u;
  const int n = u < 0x800 ? 2 : u < 0x10000 ? 3 : 4;
  uint32_t packed = (0xFF00u >> n & 0xFF) | u >> (6 * (n - 1));  // lead byte
  for (int i = 1; i < n; i++) packed |= (0x80 | ((u >> (6 * (n - 1 - i))) & 0x3F)) << (8 * i);
  return packed;
}

// Up to U+1FFFFF, the most a four-byte sequence can carry, and a little
// beyond.
TEST(DenseTables, ShiftJisOfEveryCodePoint) {
  int mapped = 0;
  for (int32_t cp = 0; cp <= 0x200100; cp++) {
    int want = searchUnicodeTbl(cp);
    if (want != -1) mapped++;
    ASSERT_EQ(denseSjisOf(static_cast<uint32_t>(cp)), static_cast<uint32_t>(want) & 0xFFFF)
        << std::hex << cp;
  }
  EXPECT_EQ(mapped, unicodeTblCount);
  EXPECT_EQ(denseSjisOf(0xFFFFFFFFu), 0xFFFFu);
}

TEST(DenseTables, Utf8OfEveryKey) {
  int mapped = 0;
  for (int32_t key = 0; key <= 0x10100; key++) {
    int cp = searchUnicodeTbl2(key);
    uint32_t got = denseUtf8Of(static_cast<uint32_t>(key));
    if (cp <= 0) {
      // U+0000 (key 0) packs to 0 as well; no converter looks it up.
      ASSERT_EQ(got, 0u) << std::hex << key;
      continue;
    }
    mapped++;
    ASSERT_EQ(got, packUtf8(cp)) << std::hex << key;
    ASSERT_EQ(packedUtf8Length(got), static_cast<int>(utf8(cp).size())) << std::hex << key;
  }
  // Every code but 0x00, and 0x5C once.
  EXPECT_EQ(mapped, unicodeTbl2Count - 2);
  EXPECT_EQ(denseUtf8Of(0x5C), packUtf8(0xA5));
}

using Full = int (*)(const char*, char*);
using Fast = const char* (*)(const char*, const char*, char**);

struct FastRun {
  size_t stop;  // bytes of the input taken
  std::string out;
};

// The fast road over an exactly sized copy of `text` into an exactly sized
// buffer, so that AddressSanitizer sees any access past either.
FastRun runFast(Fast fast, const std::string& text, size_t factor) {
  std::vector<char> src(text.begin(), text.end());
  std::vector<char> dst(factor * text.size() + 1);
  char* o = dst.data();
  const char* stop = fast(src.data(), src.data() + src.size(), &o);
  return {static_cast<size_t>(stop - src.data()), std::string(dst.data(), o)};
}

// The full converter on `text` as one NUL-terminated line; its messages go
// to *err.
std::string runFull(Full full, const std::string& text, size_t factor, std::string* err) {
  std::vector<char> dst(factor * text.size() + 1);
  CaptureStd capture(kStderr);
  full(text.c_str(), dst.data());
  *err = capture.text();
  return std::string(dst.data());
}

// What the fast road wrote is what the full converter writes for the part it
// took, which holds nothing to report; where it stopped, a character begins
// that the full converter reports, or a NUL, or a form it decodes leniently.
void expectSameAsFull(Fast fast, Full full, size_t factor, const std::string& text) {
  FastRun got = runFast(fast, text, factor);
  ASSERT_LE(got.stop, text.size());
  std::string err;
  std::string want = runFull(full, text.substr(0, got.stop), factor, &err);
  EXPECT_EQ(got.out, want) << ::testing::PrintToString(text);
  EXPECT_EQ(err, "") << ::testing::PrintToString(text);
}

// Between two ASCII letters, so that a character is never alone in its
// line.
std::string between(const std::string& bytes) {
  std::string line(1, 'a');
  line += bytes;
  line += "b\n";
  return line;
}

TEST(FastRoad, EveryMappedCharacterGoesThrough) {
  for (int i = 0; i < unicodeTblCount; i++) {
    const MappingRecord& r = unicodeTbl[i];
    if (r.unicode < 0x80) continue;  // copied as ASCII, never looked up
    std::string line = between(utf8(r.unicode));
    FastRun got = runFast(unitosjFast, line, 2);
    ASSERT_EQ(got.stop, line.size()) << std::hex << r.unicode;
    ASSERT_EQ(got.out, between(sjisBytes(r.sjis))) << std::hex << r.unicode;
  }
  for (int i = 0; i < unicodeTbl2Count; i++) {
    const MappingRecord& r = unicodeTbl2[i];
    if (r.sjis < 0x80) continue;
    std::string line = between(sjisBytes(r.sjis));
    FastRun got = runFast(sjtouniFast, line, 3);
    ASSERT_EQ(got.stop, line.size()) << std::hex << r.sjis;
    ASSERT_EQ(got.out, between(utf8(r.unicode))) << std::hex << r.sjis;
  }
}

TEST(FastRoad, StopsWhereTheFullConverterReports) {
  struct Case {
    Fast fast;
    std::string text;
    size_t stop;
  };
  const Case cases[] = {
      // unmapped, cut short by the LF or the end, stray, overlong NUL, NUL
      {unitosjFast, "ab\xEF\xBF\xBDxy\n", 2},
      {unitosjFast, "\xE3\x81\x82\xF0\x9F\x98\x80\n", 3},
      {unitosjFast, "x\xE3\x81\nnext\n", 1},
      {unitosjFast, "xy\xE3\x81", 2},
      {unitosjFast, "\x80", 0},
      {unitosjFast, "\xC0\x80z", 0},
      {unitosjFast, "0123456789abcdef0123\0tail"s, 20},
      // a lenient form the fast road leaves to unitosj, which maps it
      {unitosjFast, "ok\xE3\x41\x42", 2},
      // unmapped pair, lead byte before the LF or at the end, single 0x80
      {sjtouniFast, "ab\xFC\xFCxy\n", 2},
      {sjtouniFast, "\x82\xA0\x82\n", 2},
      {sjtouniFast, "\xB1\x82", 1},
      {sjtouniFast, "\x80\x41", 0},
      {sjtouniFast, "0123456789abcdef0123\0tail"s, 20},
  };
  for (const Case& c : cases) {
    FastRun got = runFast(c.fast, c.text, 3);
    EXPECT_EQ(got.stop, c.stop) << ::testing::PrintToString(c.text);
    Full full = c.fast == unitosjFast ? unitosj : sjtouni;
    expectSameAsFull(c.fast, full, 3, c.text);
  }
}

// Spans of many lines, as the driver passes them: clean text goes through
// whole, whatever the mix of ASCII runs and characters around the 16-byte
// blocks; random bytes stop somewhere and agree with the full converter up
// to there.
TEST(FastRoad, AgreesWithTheFullConverterOnMixedText) {
  std::vector<int32_t> mapped;
  for (int i = 0; i < unicodeTblCount; i++)
    if (unicodeTbl[i].unicode >= 0x80) mapped.push_back(unicodeTbl[i].unicode);
  std::mt19937 rng(7);
  for (int round = 0; round < 200; round++) {
    std::string text;
    while (text.size() < 600) {
      unsigned pick = rng() % 4;
      if (pick == 0) {
        text += std::string(rng() % 40, static_cast<char>('A' + rng() % 26));
      } else if (pick == 1) {
        text += '\n';
      } else {
        text += utf8(mapped[rng() % mapped.size()]);
      }
    }
    text += '\n';
    FastRun sj = runFast(unitosjFast, text, 2);
    ASSERT_EQ(sj.stop, text.size());
    std::string err;
    ASSERT_EQ(sj.out, runFull(unitosj, text, 2, &err));
    FastRun back = runFast(sjtouniFast, sj.out, 3);
    ASSERT_EQ(back.stop, sj.out.size());
    ASSERT_EQ(back.out, runFull(sjtouni, sj.out, 3, &err));
  }
  for (int round = 0; round < 2000; round++) {
    std::string text;
    for (unsigned n = rng() % 64; n > 0; n--) {
      unsigned pick = rng() % 8;
      text += static_cast<char>(pick == 0 ? '\n' : pick < 3 ? 'a' : 1 + rng() % 255);
    }
    expectSameAsFull(unitosjFast, unitosj, 3, text);
    expectSameAsFull(sjtouniFast, sjtouni, 3, text);
  }
}

}  // namespace
}  // namespace kawase
