// The converters and their tables.
#include "convert/convert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "convert/dense_tables.h"
#include "convert/tables.h"
#include "testutil/codes.h"
#include "testutil/memstream.h"

namespace kawase {
namespace {

// The two line converters, byte for byte, with their reports. The line and
// the output (the worst case) get blocks of exactly their size, so that
// AddressSanitizer sees a byte read past the NUL or written past the room.

struct Row {
  bool reverse;
  std::string in, out, err;
};

const std::string kAscii = [] {
  std::string s;
  for (int c = 1; c < 0x80; c++) s += static_cast<char>(c);
  return s;
}();
const std::string kLong = "\xFC\xFC" + std::string(100, 'r') + "\n";

const Row kRows[] = {
    {false, kAscii, kAscii, ""},
    {false, "", "", ""},
    {false, "x\xE3\x81\x82\xEF\xBD\xB1\xC2\xA5y\n", "x\x82\xA0\xB1\x5Cy\n", ""},  // katakana, yen
    {false, "\xE2\x80\x94\xE2\x80\x95\xE3\x80\x9C\xD0\xAF", "\x81\x5C\x81\x5C\x81\x60\x84\x60", ""},
    {false, "\xF0\xA0\x80\x8B\xF0\xA0\xAE\x9F", "\x87\xA0\x98\x73", ""},  // plane 2
    // Lenient decoding: overlong forms, unchecked continuation bytes, stray
    // continuation bytes as code points, 0xF8-0xFF taking four bytes.
    {false, "\xC1\x9C\xC1\xBE\xA7\xBF", "\x5C\x81\xB0\x81\x98\x85\x55", ""},
    {false, "\xE3\x41\x42\xE3\x80\xC1", "\x82\xA0\x81\x41", ""},
    {false, "\xF8\x88\x80\x80z", "\x97\x73z", ""},
    // Unmapped characters: two question marks and one report each.
    {false, "\x80", "??", "Error code: 80=U+?\r\n"},
    {false, "\xC2\xB5", "??", "Error code: C2B5=U+00B5\r\n"},
    {false, "\xEF\xBF\xBD", "??", "Error code: EFBFBD=U+FFFD\r\n"},
    {false, "\xFF\xBF\xBF\xBF", "??", "Error code: FFBFBFBF=1FFFFF\r\n"},
    {false, "x\x80y\xF0\x9F\x98\x80z\n", "x??y??z\n",
     "Error code: 80=U+?\r\nError code: F09F9880=1F600\r\n"},
    // Sequences cut short by the line's LF or its end.
    {false, "\xE3\x81\n\xE3\n", "??\n??\n", "Error code: E381=U+?\r\nError code: E3=U+?\r\n"},
    {false, "\xF0\x9F\x98\nnext", "??\nnext", "Error code: F09F98=U+?\r\n"},
    {false, "x\xE3\x81", "x??", "Error code: E381=U+?\r\n"},
    {false, "\xC3", "??", "Error code: C3=U+?\r\n"},
    {true, kAscii, kAscii, ""},  // 0x5C and 0x7E stay as they are
    {true, "x\xB1\xB2\x82\xA0z\n", "x\xEF\xBD\xB1\xEF\xBD\xB2\xE3\x81\x82z\n", ""},
    {true, "\x81\x5C\x81\x60\x87\xA0\x81\x98", "\xE2\x80\x95\xEF\xBD\x9E\xF0\xA0\x80\x8B\xC2\xA7",
     ""},
    {true, "\x81\xB0", "~", ""},  // a two-byte code whose code point is ASCII
    // Unmapped codes: dropped, reported with up to 64 bytes of the line.
    {true, "\xFC\xFCxyz\n", "xyz\n", "Error code: FC[FC] ... \xFC\xFCxyz\r\n\r\n"},
    {true, "\x80\x41z", "z", "Error code: 80[41] ... \x80\x41z\r\n"},
    {true, "\xA0\xA0", "", "Error code: A0[A0] ... \xA0\xA0\r\n"},
    {true, "\xFD\x82\xA0", "",
     "Error code: FD[82] ... \xFD\x82\xA0\r\nError code: A0[00] ... \xA0\r\n"},
    {true, "\x82\xF5x", "x", "Error code: 82[F5] ... \x82\xF5x\r\n"},  // two code points
    {true, kLong, kLong.substr(2), "Error code: FC[FC] ... " + kLong.substr(0, 64) + "\r\n"},
    // A lead byte cut short by the line's LF or its end.
    {true, "\x82\n", "\n", "Error code: 82[0A] ... \x82\r\n\r\n"},
    {true, "\x82", "", "Error code: 82[00] ... \x82\r\n"},
    {true, "x\xFF\ny", "x\ny", "Error code: FF[0A] ... \xFF\r\ny\r\n"},
};

TEST(Converters, Lines) {
  for (const Row& r : kRows) {
    std::vector<char> in(r.in.begin(), r.in.end());
    in.push_back('\0');
    std::vector<char> out((r.reverse ? 3 : 2) * r.in.size() + 1, '#');
    test::CaptureStd err(kStderr);
    EXPECT_EQ((r.reverse ? sjtouni : unitosj)(in.data(), out.data()), 0);
    EXPECT_EQ(std::string(out.data()), r.out) << ::testing::PrintToString(r.in);
    EXPECT_EQ(err.text(), r.err) << ::testing::PrintToString(r.in);
  }
}

// The per-character calls: the code (-1: none), unicode_len, a report
// written by the call itself when there is no code, and the length a first
// byte gives a sequence (0: it starts none). sjis2unicode's results are all
// in the lines.
TEST(Converters, Characters) {
  const std::tuple<const char*, int, int> toSjis[] = {
      {"\xE3\x81\x82", 0x82A0, 3}, {"\xF0\x9F\x98\x80", -1, 4}, {"\xEF\xBD\xB1", 0xB1, 3},
      {"\xA7", 0x8198, 1},         {"\xE3\x81", -1, 2},
  };
  for (auto [p, code, len] : toSjis) {
    test::CaptureStd err(kStderr);
    EXPECT_EQ(unicode2sjis(p), code) << p;
    EXPECT_EQ(unicode_len, len) << p;
    EXPECT_EQ(err.text().empty(), code != -1) << p;
  }
  for (auto [p, n] :
       {std::pair{"\xC0", 2}, {"\xDF", 2}, {"\xE0", 3}, {"\xFF", 4}, {"\xBF", 0}, {"A", 0}})
    EXPECT_EQ(unicodeKanji(p), n) << p;
}

// The mapping tables: their check values, and the fast road's dense tables
// (data of their own), which answer what the searches answer for every
// value a converter can look up.

// CRC-32 (ISO-HDLC) of the records written as little-endian 32-bit pairs.
uint32_t tableCrc(const MappingRecord* table, int count) {
  uint32_t crc = 0xFFFFFFFFu;
  for (int i = 0; i < 2 * count; i++) {
    auto v = static_cast<uint32_t>(i % 2 == 0 ? table[i / 2].sjis : table[i / 2].unicode);
    for (int bit = 0; bit < 32; bit++) {
      crc ^= v >> bit & 1u;
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  return ~crc;
}

TEST(MappingTables, CountsAndCheckValues) {
  ASSERT_EQ(unicodeTblCount, 11406);
  ASSERT_EQ(unicodeTbl2Count, 11410);
  EXPECT_EQ(tableCrc(unicodeTbl, unicodeTblCount), 0x84A5D7C6u);
  EXPECT_EQ(tableCrc(unicodeTbl2, unicodeTbl2Count), 0x2FD34F50u);
}

// Up to U+1FFFFF, the most four bytes carry, and every key. No key maps to
// U+0000 but 0x00, which the converters never look up.
TEST(MappingTables, DenseTablesAnswerAsTheSearches) {
  for (int32_t cp = 0; cp <= 0x200000; cp++) {
    auto code = static_cast<uint32_t>(searchUnicodeTbl(cp) & 0xFFFF);
    ASSERT_EQ(denseSjisOf(static_cast<uint32_t>(cp)), code) << cp;
    // The flat table holds the bytes in written order, and none for a
    // control character, which has no code in a longer form.
    if (code >= 0x100 && code != 0xFFFF) code = (code & 0xFF) << 8 | code >> 8;
    if (cp < 0x10000) {
      ASSERT_EQ(denseSjisBmpBytes[cp], cp < 0x20 ? 0xFFFFu : code) << cp;
    }
  }
  for (uint32_t key = 0; key <= 0xFFFF; key++) {
    int cp = searchUnicodeTbl2(static_cast<int32_t>(key));
    std::string bytes;
    uint32_t got =
        key < 0x100 ? denseUtf8Single[key] : denseUtf8Rows[denseUtf8Row[key >> 8]][key & 0xFF];
    for (uint32_t v = got; v != 0; v >>= 8) bytes += static_cast<char>(v & 0xFF);
    ASSERT_EQ(bytes, cp > 0 ? test::utf8(cp) : "") << key;
  }
}

}  // namespace
}  // namespace kawase
