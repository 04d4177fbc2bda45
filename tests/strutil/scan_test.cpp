// Character scanning and byte moves over Shift_JIS text.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "strutil/strutil.h"

namespace kawase {
namespace {

// Two-byte characters whose second byte has the value of an ASCII character
// the library looks for.
const char kTrailBackslash[] = "\x95\x5C";   // second byte "\"
const char kTrailOpenBr[] = "\x83\x5B";      // second byte "["
const char kTrailCloseBr[] = "\x81\x5D";     // second byte "]"
const char kTrailUnderscore[] = "\x81\x5F";  // second byte "_"
const char kTrailLetter[] = "\x82\x61";      // second byte "a"

TEST(Strchr, SkipsTrailBytesThatLookLikeAscii) {
  struct Case {
    const char* two_byte;
    char ascii;
  } cases[] = {{kTrailBackslash, '\\'},
               {kTrailOpenBr, '['},
               {kTrailCloseBr, ']'},
               {kTrailUnderscore, '_'},
               {kTrailLetter, 'a'}};
  for (const Case& c : cases) {
    std::string s = std::string(c.two_byte) + c.ascii + "x";
    SCOPED_TRACE(c.ascii);
    EXPECT_EQ(Strchr(s.c_str(), c.ascii), s.c_str() + 2);
    EXPECT_EQ(Strrchr(s.c_str(), c.ascii), s.c_str() + 2);
    // The plain byte searches do see the second byte.
    EXPECT_EQ(index(s.c_str(), c.ascii), s.c_str() + 1);
    EXPECT_EQ(rindex(s.c_str(), c.ascii), s.c_str() + 2);
    // Alone, the two-byte character holds no such character.
    EXPECT_EQ(Strchr(c.two_byte, c.ascii), nullptr);
    EXPECT_EQ(Strrchr(c.two_byte, c.ascii), nullptr);
  }
}

TEST(Strchr, MatchesFirstByteAndUsesLowEightBits) {
  const char s[] = "ab\x81\x40\x81\x41";
  EXPECT_EQ(Strchr(s, 0x81), s + 2);
  EXPECT_EQ(Strchr(s, -127), s + 2);  // sign-extended 0x81
  EXPECT_EQ(Strchr(s, 0x181), s + 2);
  EXPECT_EQ(Strrchr(s, 0x81), s + 4);
  EXPECT_EQ(Strchr(s, 0x40), nullptr);  // only ever a second byte here
  EXPECT_EQ(Strchr(s, 'a' + 0x100), s);
  EXPECT_EQ(index(s, -127), s + 2);
  EXPECT_EQ(rindex(s, -127), s + 4);
}

TEST(Strchr, NulNeverMatches) {
  const char s[] = "abc";
  EXPECT_EQ(Strchr(s, 0), nullptr);
  EXPECT_EQ(Strrchr(s, 0), nullptr);
  EXPECT_EQ(index(s, 0), nullptr);
  EXPECT_EQ(rindex(s, 0), nullptr);
  EXPECT_EQ(Strchr(s, 0x100), nullptr);  // low 8 bits are 0
  EXPECT_EQ(index("", 'a'), nullptr);
  EXPECT_EQ(rindex("", 'a'), nullptr);
  EXPECT_EQ(Strchr("", 'a'), nullptr);
}

// A lead byte right before the NUL is a character of its own: it can be
// found, and no scan steps over the terminator (ASan would see the read).
TEST(CharacterScans, LeadByteBeforeNul) {
  const char s[8] = "a\\\x81";
  EXPECT_EQ(Strchr(s, 0x81), s + 2);
  EXPECT_EQ(Strrchr(s, 0x81), s + 2);
  EXPECT_EQ(Strrchr(s, '\\'), s + 1);
  EXPECT_EQ(get_prech(s, s + 3), s + 2);
  EXPECT_EQ(get_prech(s, s + 6), s + 2);  // end beyond the NUL
  EXPECT_EQ(index2(s, "\x81"), s + 2);
  EXPECT_EQ(serstr(s, "\x81"), s + 2);
  char t[] = "a\\\x81";
  EXPECT_EQ(ChgChr(t, 0x81, '!'), t);
  EXPECT_STREQ(t, "a\\!");
}

TEST(GetPrech, StepsBackOneCharacter) {
  const char s[] =
      "\x95\x5C"
      "a\x82\xA0";
  EXPECT_EQ(get_prech(s, s), nullptr);
  EXPECT_EQ(get_prech(s, s + 1), s);  // end inside the first character
  EXPECT_EQ(get_prech(s, s + 2), s);
  EXPECT_EQ(get_prech(s, s + 3), s + 2);
  EXPECT_EQ(get_prech(s, s + 4), s + 3);
  EXPECT_EQ(get_prech(s, s + 5), s + 3);
  const char empty[] = "";
  EXPECT_EQ(get_prech(empty, empty + 1), nullptr);
}

TEST(ChgChr, ReplacesOnlyCharactersOfTheirOwn) {
  char path[] = "C:\\\x95\x5C\\x\\";
  EXPECT_EQ(ChgChr(path, '\\', '/'), path);
  EXPECT_STREQ(path, "C:/\x95\x5C/x/");

  // A replacement that is a lead byte takes the next byte as its second.
  char s[] = "xxbx";
  ChgChr(s, 'x', 0x81);
  EXPECT_STREQ(s, "\x81xb\x81");

  char none[] = "abc";
  ChgChr(none, 0, 'z');
  EXPECT_STREQ(none, "abc");
}

TEST(Index2, TestsOnlyOneByteCharacters) {
  const char s[] =
      "\x95\x5C"
      "a\\b;";
  EXPECT_EQ(index2(s, "\\"), s + 3);
  EXPECT_EQ(index2(s, ";\\"), s + 3);
  EXPECT_EQ(index2(s, "\x95"), nullptr);  // first byte of a two-byte character
  EXPECT_EQ(index2(s, ";"), s + 5);
  EXPECT_EQ(index2(s, ""), nullptr);
  EXPECT_EQ(index2("", "a"), nullptr);
  const char kana[] = "\xB1\\";  // katakana is one byte: the "\" is its own
  EXPECT_EQ(index2(kana, "\\"), kana + 1);
}

TEST(Serstr, StepsByLeadAndTrailClass) {
  // 0x20 is no trail byte, so the lead byte stands alone and the match can
  // begin at the space; the range rule would have skipped it.
  const char s[] = "\x81 x";
  EXPECT_EQ(serstr(s, " x"), s + 1);
  EXPECT_EQ(Strchr(s, ' '), nullptr);

  const char t[] =
      "\x95\x5C"
      "abc";
  EXPECT_EQ(serstr(t, "\\abc"), nullptr);  // would start at a second byte
  EXPECT_EQ(serstr(t, "abc"), t + 2);
  EXPECT_EQ(serstr(t, "\x95\x5C"), t);
  EXPECT_EQ(serstr(t, "bcd"), nullptr);  // runs past the end of t
  EXPECT_EQ(serstr(t, "c"), t + 4);
  EXPECT_EQ(serstr(t, ""), nullptr);
  EXPECT_EQ(serstr("", "a"), nullptr);
}

TEST(Index1, PlainSubstring) {
  const char s[] = "abcabc";
  EXPECT_EQ(index1(s, "bc"), s + 1);
  EXPECT_EQ(index1(s, "cab"), s + 2);
  EXPECT_EQ(index1(s, "cd"), nullptr);
  EXPECT_EQ(index1("ab", "abc"), nullptr);
  EXPECT_EQ(index1(s, ""), s);
  EXPECT_EQ(index1("", ""), nullptr);
  const char t[] =
      "\x95\x5C"
      "x";
  EXPECT_EQ(index1(t, "\\x"), t + 1);  // blind to two-byte characters
}

TEST(SrchWild, FirstStarOrQuestionMark) {
  const char s[] = "a\\b?c*";
  EXPECT_EQ(srch_wild(s), s + 3);
  const char t[] = "*?";
  EXPECT_EQ(srch_wild(t), t);
  EXPECT_EQ(srch_wild("a\\b.c"), nullptr);
  EXPECT_EQ(srch_wild(""), nullptr);
}

TEST(ByteMoves, CountsOfZeroAndBelowWriteNothing) {
  for (int n : {0, -1, -100}) {
    SCOPED_TRACE(n);
    char buf[] = "xxxx";
    EXPECT_EQ(bcopy(buf, "abcd", n), 0);
    EXPECT_STREQ(buf, "xxxx");
    EXPECT_EQ(bakmov("abcd", buf, n), 0);
    EXPECT_STREQ(buf, "xxxx");
    clear(buf, 'z', n);
    EXPECT_STREQ(buf, "xxxx");
  }
}

TEST(ByteMoves, CopyExactlyNBytesWithoutTerminator) {
  char buf[] = "xxxxxx";
  EXPECT_EQ(bcopy(buf, "abc", 3), 0);
  EXPECT_STREQ(buf, "abcxxx");
  EXPECT_EQ(bakmov("123", buf + 3, 2), 0);
  EXPECT_STREQ(buf, "abc12x");
  clear(buf + 1, 0x100 + '-', 2);  // low 8 bits only
  EXPECT_STREQ(buf, "a--12x");
}

TEST(ByteMoves, OverlappingMovesInTheirSafeDirection) {
  char down[] = "..abcdef";
  bcopy(down, down + 2, 6);  // to a lower address, first byte first
  EXPECT_EQ(std::string(down, 8), "abcdefef");

  char up[] = "abcdef..";
  bakmov(up, up + 2, 6);  // to a higher address, last byte first
  EXPECT_EQ(std::string(up, 8), "ababcdef");
}

// The buffers hold stale bytes past the NUL, so a terminator that is not
// moved along shows up.
TEST(InsChar, PutsByteInFront) {
  char buf[8];
  std::memset(buf, '#', sizeof buf);
  buf[0] = '\0';
  EXPECT_EQ(insChar(buf, 'x'), 0);
  EXPECT_STREQ(buf, "x");

  char bc[8];
  std::memset(bc, '#', sizeof bc);
  std::strcpy(bc, "bc");
  EXPECT_EQ(insChar(bc, 'a'), 0);
  EXPECT_STREQ(bc, "abc");

  char two[8];
  std::memset(two, '#', sizeof two);
  std::strcpy(two, "\x82\xA0");
  insChar(two, -127);
  EXPECT_STREQ(two, "\x81\x82\xA0");
}

// Over random mixes of lead, trail, katakana and ASCII bytes, walking back
// with get_prech splits the string into the same characters that Strchr
// and Strrchr see: 1 or 2 bytes, two only after a lead byte, and every
// search result is one of those character starts.
TEST(CharacterScans, RandomStringsAgreeOnCharacterStarts) {
  const unsigned char alphabet[] = {'a',  '\\', '[',  '_',  0x40, 0x5C, 0x81, 0x95,
                                    0x9F, 0xA0, 0xB1, 0xE0, 0xFC, 0xFD, 0x80, 0x7F};
  std::mt19937 rng(20240601);
  for (int round = 0; round < 2000; round++) {
    std::string s;
    const int len = static_cast<int>(rng() % 9);
    for (int i = 0; i < len; i++) s += static_cast<char>(alphabet[rng() % sizeof alphabet]);
    const char* b = s.c_str();

    std::vector<const char*> starts;
    for (const char* end = b + s.size(); end > b;) {
      const char* p = get_prech(b, end);
      ASSERT_NE(p, nullptr);
      ASSERT_TRUE(end - p == 1 || (end - p == 2 && isLeadByte(static_cast<unsigned char>(*p))));
      starts.insert(starts.begin(), p);
      end = p;
    }
    for (unsigned char c : alphabet) {
      const char* first = nullptr;
      const char* last = nullptr;
      for (const char* p : starts)
        if (static_cast<unsigned char>(*p) == c) {
          if (first == nullptr) first = p;
          last = p;
        }
      ASSERT_EQ(Strchr(b, c), first) << "round " << round;
      ASSERT_EQ(Strrchr(b, c), last) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace kawase
