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
#include "testutil/memstream.h"

namespace kawase {
namespace {

using test::CaptureStd;

// Standard UTF-8 packed from the low byte up; independent of the generator.
uint32_t packUtf8(int32_t cp) {
  unsigned char b[4];
  int n;
  if (cp < 0x80) {
    b[0] = static_cast<unsigned char>(cp);
    n = 1;
  } else if (cp < 0x800) {
    b[0] = static_cast<unsigned char>(0xC0 + cp / 64);
    b[1] = static_cast<unsigned char>(0x80 + cp % 64);
    n = 2;
  } else if (cp < 0x10000) {
    b[0] = static_cast<unsigned char>(0xE0 + cp / 4096);
    b[1] = static_cast<unsigned char>(0x80 + cp / 64 % 64);
    b[2] = static_cast<unsigned char>(0x80 + cp % 64);
    n = 3;
  } else {
    b[0] = static_cast<unsigned char>(0xF0 + cp / 262144);
    b[1] = static_cast<unsigned char>(0x80 + cp / 4096 % 64);
    b[2] = static_cast<unsigned char>(0x80 + cp / 64 % 64);
    b[3] = static_cast<unsigned char>(0x80 + cp % 64);
    n = 4;
  }
  uint32_t packed = 0;
  for (int i = 0; i < n; i++) packed |= static_cast<uint32_t>(b[i]) << (8 * i);
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
    ASSERT_EQ(packedUtf8Length(got), cp < 0x80      ? 1
                                     : cp < 0x800   ? 2
                                     : cp < 0x10000 ? 3
                                                    : 4)
        << std::hex << key;
  }
  // Every code but 0x00, and 0x5C once.
  EXPECT_EQ(mapped, unicodeTbl2Count - 2);
  EXPECT_EQ(denseUtf8Of(0x5C), packUtf8(0xA5));
}

}  // namespace
}  // namespace kawase
