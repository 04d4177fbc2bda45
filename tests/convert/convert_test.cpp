// The two line converters, byte for byte, with their messages.
#include "convert/convert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "convert/tables.h"
#include "testutil/codes.h"
#include "testutil/memstream.h"

namespace kawase {
namespace {

using test::sjisBytes;
using test::utf8;

using test::CaptureStd;

struct Result {
  std::string out;
  std::string err;
};

// Runs a converter on an exactly sized heap copy of the line, into an
// exactly sized worst-case output buffer, so AddressSanitizer sees any read
// past the NUL or write past the buffer.
Result run(int (*convert)(const char*, char*), const std::string& line, size_t factor) {
  std::vector<char> src(line.begin(), line.end());
  src.push_back('\0');
  std::vector<char> dst(factor * line.size() + 1, '#');
  CaptureStd err(kStderr);
  EXPECT_EQ(convert(src.data(), dst.data()), 0);
  return {std::string(dst.data()), err.text()};
}

Result toSjis(const std::string& line) {
  return run(unitosj, line, 2);
}
Result toUtf8(const std::string& line) {
  return run(sjtouni, line, 3);
}

struct Case {
  std::string in, out, err;
};

void expectAll(Result (*convert)(const std::string&), const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Result r = convert(c.in);
    EXPECT_EQ(r.out, c.out) << ::testing::PrintToString(c.in);
    EXPECT_EQ(r.err, c.err) << ::testing::PrintToString(c.in);
  }
}

TEST(Unitosj, AsciiPassesThrough) {
  std::string all;
  for (int b = 1; b < 0x80; b++) all += static_cast<char>(b);
  expectAll(toSjis, {{all, all, ""}, {"", "", ""}, {"a\\b~c\n", "a\\b~c\n", ""}});
}

TEST(Unitosj, MappedCharacters) {
  expectAll(toSjis, {
                        {"\xE3\x81\x82", "\x82\xA0", ""},  // U+3042
                        {"\xEF\xBD\xB1", "\xB1", ""},      // half-width katakana
                        {"\xC2\xA5", "\x5C", ""},          // yen sign
                        {"\xE2\x80\x94\xE2\x80\x95", "\x81\x5C\x81\x5C", ""},
                        {"\xE3\x80\x9C\xEF\xBD\x9E", "\x81\x60\x81\x60", ""},
                        {"\xF0\xA0\x80\x8B", "\x87\xA0", ""},  // plane 2, U+2000B
                        {"\xF0\xA0\xAE\x9F", "\x98\x73", ""},  // U+20B9F
                        {"A\xE3\x81\x82"
                         "B\n",
                         "A\x82\xA0"
                         "B\n",
                         ""},
                    });
}

TEST(Unitosj, LenientDecoding) {
  expectAll(toSjis, {
                        // Overlong forms decode to their value.
                        {"\xC1\x9C", "\x5C", ""},
                        {"\xC1\xBE", "\x81\xB0", ""},
                        // Continuation bytes are not checked.
                        {"\xE3\x41\x42", "\x82\xA0", ""},
                        // A stray continuation byte is its own code point.
                        {"\xA7", "\x81\x98", ""},
                        {"\xBF", "\x85\x55", ""},
                        // Lead bytes 0xF8-0xFF take four bytes like 0xF0.
                        {"\xF8\x88\x80\x80"
                         "A",
                         "\x97\x73"
                         "A",
                         ""},
                    });
}

TEST(Unitosj, UnmappedCharactersAreReportedOnce) {
  expectAll(toSjis, {
                        {"\x80", "??", "Error code: 80=U+?\r\n"},
                        {"\xC2\x80", "??", "Error code: C280=U+0080\r\n"},
                        {"\xC2\xB5", "??", "Error code: C2B5=U+00B5\r\n"},
                        {"\xEF\xBF\xBD", "??", "Error code: EFBFBD=U+FFFD\r\n"},
                        {"\xF0\x9F\x98\x80", "??", "Error code: F09F9880=1F600\r\n"},
                        {"\xF4\x8F\xBF\xBF", "??", "Error code: F48FBFBF=10FFFF\r\n"},
                        {"\xFF\xBF\xBF\xBF", "??", "Error code: FFBFBFBF=1FFFFF\r\n"},
                        {"a\x80"
                         "b\xF0\x9F\x98\x80"
                         "c\n",
                         "a??b??c\n", "Error code: 80=U+?\r\nError code: F09F9880=1F600\r\n"},
                    });
}

TEST(Unitosj, SequencesCutShortByTheLineEnd) {
  expectAll(toSjis, {
                        {"\xE3\x81\n", "??\n", "Error code: E381=U+?\r\n"},
                        {"\xE3\n", "??\n", "Error code: E3=U+?\r\n"},
                        {"\xF0\x9F\x98\nnext", "??\nnext", "Error code: F09F98=U+?\r\n"},
                        {"\xE3\x81", "??", "Error code: E381=U+?\r\n"},
                        {"x\xC3", "x??", "Error code: C3=U+?\r\n"},
                        {"\xFF", "??", "Error code: FF=U+?\r\n"},
                    });
}

TEST(Unicode2sjis, LengthAndResult) {
  CaptureStd err(kStderr);
  EXPECT_EQ(unicode2sjis("\xE3\x81\x82"), 0x82A0);
  EXPECT_EQ(unicode_len, 3);
  EXPECT_EQ(unicode2sjis("\xF0\x9F\x98\x80"), -1);
  EXPECT_EQ(unicode_len, 4);
  EXPECT_EQ(unicode2sjis("\xEF\xBD\xB1"), 0xB1);
  EXPECT_EQ(unicode_len, 3);
  EXPECT_EQ(unicode2sjis("\xA7"), 0x8198);
  EXPECT_EQ(unicode_len, 1);

  const std::pair<const char*, int> kanji[] = {{"\xC0", 2}, {"\xDF", 2}, {"\xE0", 3}, {"\xF0", 4},
                                               {"\xFF", 4}, {"A", 0},    {"\xBF", 0}, {"", 0}};
  for (auto [p, n] : kanji) EXPECT_EQ(unicodeKanji(p), n) << p;
}

TEST(Sjtouni, MappedCharacters) {
  std::string all;
  for (int b = 1; b < 0x80; b++) all += static_cast<char>(b);
  expectAll(toUtf8, {
                        {all, all, ""},  // 0x5C and 0x7E stay as they are
                        {"\x82\xA0", "\xE3\x81\x82", ""},
                        {"\xB1", "\xEF\xBD\xB1", ""},
                        {"\x81\x5C", "\xE2\x80\x95", ""},
                        {"\x81\x60", "\xEF\xBD\x9E", ""},
                        {"\x87\xA0", "\xF0\xA0\x80\x8B", ""},
                        {"\x81\xB0", "~", ""},  // a two-byte code whose code point is ASCII
                        {"\x81\x98", "\xC2\xA7", ""},
                        {"a\xB1\xB2\x82\xA0z\n", "a\xEF\xBD\xB1\xEF\xBD\xB2\xE3\x81\x82z\n", ""},
                    });
}

TEST(Sjtouni, UnmappedCodesAreDroppedAndReported) {
  std::string long_rest = "\xFC\xFC" + std::string(100, 'r') + "\n";
  expectAll(toUtf8,
            {
                {"\xFC\xFC"
                 "abc\n",
                 "abc\n",
                 "Error code: FC[FC] ... \xFC\xFC"
                 "abc\r\n\r\n"},
                {"\x80\x41"
                 "B",
                 "B",
                 "Error code: 80[41] ... \x80"
                 "AB\r\n"},
                {"\xA0\xA0", "", "Error code: A0[A0] ... \xA0\xA0\r\n"},
                // 0xFD takes the next byte with it, whatever that is.
                {"\xFD\x82\xA0", "",
                 "Error code: FD[82] ... \xFD\x82\xA0\r\nError code: A0[00] ... \xA0\r\n"},
                {"\x82\xF5x", "x", "Error code: 82[F5] ... \x82\xF5x\r\n"},  // two code points
                {long_rest, std::string(100, 'r') + "\n",
                 "Error code: FC[FC] ... \xFC\xFC" + std::string(62, 'r') + "\r\n"},
            });
}

TEST(Sjtouni, LeadByteCutShortByTheLineEnd) {
  expectAll(toUtf8, {
                        {"\x82\n", "\n", "Error code: 82[0A] ... \x82\r\n\r\n"},
                        {"\x82", "", "Error code: 82[00] ... \x82\r\n"},
                        {"a\xFF\nb", "a\nb", "Error code: FF[0A] ... \xFF\r\nb\r\n"},
                    });
}

TEST(Sjis2unicode, LengthAndBuffer) {
  CaptureStd err(kStderr);
  const char* u = sjis2unicode("\x87\xA0");
  ASSERT_NE(u, nullptr);
  EXPECT_EQ(unicode_len, 4);
  EXPECT_EQ(std::string(u, 4), "\xF0\xA0\x80\x8B");
  u = sjis2unicode("\xDF");
  ASSERT_NE(u, nullptr);
  EXPECT_EQ(unicode_len, 3);
  EXPECT_EQ(std::string(u, 3), "\xEF\xBE\x9F");
  EXPECT_EQ(sjis2unicode("\xFC\xFC"), nullptr);
  EXPECT_EQ(err.text(), "Error code: FC[FC] ... \xFC\xFC\r\n");
}

// Every record reaches its code through the converters, and back.
TEST(Converters, WholeTables) {
  CaptureStd err(kStderr);
  char out[16];
  for (int i = 0; i < unicodeTblCount; i++) {
    if (unicodeTbl[i].unicode < 0x80) continue;  // ASCII is copied, not looked up
    unitosj(utf8(unicodeTbl[i].unicode).c_str(), out);
    ASSERT_EQ(std::string(out), sjisBytes(unicodeTbl[i].sjis)) << std::hex << unicodeTbl[i].unicode;
  }
  for (int i = 0; i < unicodeTbl2Count; i++) {
    if (unicodeTbl2[i].sjis < 0x80) continue;
    sjtouni(sjisBytes(unicodeTbl2[i].sjis).c_str(), out);
    ASSERT_EQ(std::string(out), utf8(unicodeTbl2[i].unicode)) << std::hex << unicodeTbl2[i].sjis;
  }
  EXPECT_EQ(err.text(), "");
}

// The worst cases fill their buffers exactly: two bytes out per byte in one
// way, three in the other.
TEST(Converters, WorstCaseLinesFitTheirBuffers) {
  const size_t n = 255998;
  Result sj = toSjis(std::string(n - 1, '\xA7') + "\n");
  EXPECT_EQ(sj.out.size(), 2 * (n - 1) + 1);
  EXPECT_EQ(sj.err, "");
  Result ut = toUtf8(std::string(n - 1, '\xB1') + "\n");
  EXPECT_EQ(ut.out.size(), 3 * (n - 1) + 1);
  EXPECT_EQ(ut.err, "");
}

}  // namespace
}  // namespace kawase
