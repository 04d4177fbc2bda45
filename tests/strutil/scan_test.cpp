// Character scanning and byte moves over Shift_JIS text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "strutil/strutil.h"

namespace kawase {
namespace {

using Search = char* (*)(const char*, int);

// Offset of a search result in s, or -1 for null.
std::ptrdiff_t offset(const char* found, const char* s) {
  return found == nullptr ? -1 : found - s;
}

// Each row: a string, the byte asked for, and the offsets Strchr, Strrchr,
// index and rindex give (-1: null). A second byte with the value of "\",
// "[", "]", "_" or a letter is skipped by the character searches and seen by
// the plain ones; only the low 8 bits of c count; the NUL is never found; a
// lead byte before the NUL is a character of its own, and no scan steps over
// the terminator (here or below: ASan would see the read).
TEST(Strchr, CharacterAndPlainByteSearches) {
  const struct {
    const char* s;
    int c;
    std::ptrdiff_t want[4];
  } rows[] = {{"\x95\\\\\x95\\", '\\', {2, 2, 1, 4}},
              {"\x83[[\x83[", '[', {2, 2, 1, 4}},
              {"\x81]]\x81]", ']', {2, 2, 1, 4}},
              {"\x81__\x81_", '_', {2, 2, 1, 4}},
              {"\x82\x61\x61\x82\x61", 'a', {2, 2, 1, 4}},
              {"ab\x81\x40\x81\x41", 0x81, {2, 4, 2, 4}},
              {"ab\x81\x40\x81\x41", -127, {2, 4, 2, 4}},
              {"ab\x81\x40\x81\x41", 0x40, {-1, -1, 3, 3}},
              {"ab\x81\x40\x81\x41", 'a' + 0x100, {0, 0, 0, 0}},
              {"abc", 0, {-1, -1, -1, -1}},
              {"abc", 0x100, {-1, -1, -1, -1}},
              {"", 'a', {-1, -1, -1, -1}},
              {"a\\\x81", 0x81, {2, 2, 2, 2}},
              {"a\\\x81", '\\', {1, 1, 1, 1}}};
  const Search searches[] = {Strchr, Strrchr, index, rindex};
  for (const auto& row : rows)
    for (int f = 0; f < 4; f++)
      EXPECT_EQ(offset(searches[f](row.s, row.c), row.s), row.want[f])
          << "search " << f << " for " << row.c << " in " << testing::PrintToString(row.s);
}

TEST(GetPrech, StepsBackOneCharacter) {
  const char s[] = "\x95\\x\x82\xA0";
  const std::ptrdiff_t want[] = {-1, 0, 0, 2, 3, 3};  // for ends s + 0 to s + 5
  for (int end = 0; end <= 5; end++) EXPECT_EQ(offset(get_prech(s, s + end), s), want[end]) << end;
  const char empty[] = "", t[8] = "a\\\x81";  // a lead byte before the NUL stands alone
  EXPECT_EQ(get_prech(empty, empty + 1), nullptr);
  EXPECT_EQ(get_prech(t, t + 3), t + 2);
  EXPECT_EQ(get_prech(t, t + 6), t + 2);  // end beyond the NUL
}

TEST(ChgChr, ReplacesOnlyCharactersOfTheirOwn) {
  char path[] = "C:\\\x95\\\\x\\";
  EXPECT_EQ(ChgChr(path, '\\', '/'), path);
  EXPECT_STREQ(path, "C:/\x95\\/x/");
  char s[] = "xxbx";  // a lead byte put in takes the next byte as its second
  ChgChr(s, 'x', 0x81);
  EXPECT_STREQ(s, "\x81xb\x81");
  char none[] = "abc";
  ChgChr(none, 0, 'z');
  EXPECT_STREQ(none, "abc");
  char t[] = "a\\\x81";
  EXPECT_EQ(ChgChr(t, 0x81, '!'), t);
  EXPECT_STREQ(t, "a\\!");
}

TEST(Index2, TestsOnlyOneByteCharacters) {
  const char s[] = "\x95\\x\\y;";
  EXPECT_EQ(index2(s, "\\"), s + 3);
  EXPECT_EQ(index2(s, ";\\"), s + 3);
  EXPECT_EQ(index2(s, "\x95"), nullptr);  // first byte of a two-byte character
  EXPECT_EQ(index2(s, ";"), s + 5);
  EXPECT_EQ(index2(s, ""), nullptr);
  EXPECT_EQ(index2("", "a"), nullptr);
  const char kana[] = "\xB1\\";  // katakana is one byte: the "\" is its own
  EXPECT_EQ(index2(kana, "\\"), kana + 1);
  const char lead[] = "a\\\x81";
  EXPECT_EQ(index2(lead, "\x81"), lead + 2);
}

TEST(Serstr, StepsByLeadAndTrailClass) {
  // 0x20 is no trail byte, so the lead byte stands alone and the match can
  // begin at the space; the range rule would have skipped it.
  const char s[] = "\x81 x";
  EXPECT_EQ(serstr(s, " x"), s + 1);
  EXPECT_EQ(Strchr(s, ' '), nullptr);
  const char t[] = "\x95\\xyz";
  EXPECT_EQ(serstr(t, "\\xyz"), nullptr);  // would start at a second byte
  EXPECT_EQ(serstr(t, "xyz"), t + 2);
  EXPECT_EQ(serstr(t, "\x95\\"), t);
  EXPECT_EQ(serstr(t, "yz!"), nullptr);  // runs past the end of t
  EXPECT_EQ(serstr(t, "z"), t + 4);
  EXPECT_EQ(serstr(t, ""), nullptr);
  EXPECT_EQ(serstr("", "a"), nullptr);
  const char lead[] = "a\\\x81";
  EXPECT_EQ(serstr(lead, "\x81"), lead + 2);
}

TEST(Index1, PlainSubstringAndWildcards) {
  const char s[] = "abcabc";
  EXPECT_EQ(index1(s, "bc"), s + 1);
  EXPECT_EQ(index1(s, "cab"), s + 2);
  EXPECT_EQ(index1(s, "cd"), nullptr);
  EXPECT_EQ(index1("ab", "abc"), nullptr);
  EXPECT_EQ(index1(s, ""), s);
  EXPECT_EQ(index1("", ""), nullptr);
  const char t[] = "\x95\\x";
  EXPECT_EQ(index1(t, "\\x"), t + 1);  // blind to two-byte characters

  const char w[] = "a\\b?c*";
  EXPECT_EQ(srch_wild(w), w + 3);
  EXPECT_EQ(srch_wild(w + 4), w + 5);
  EXPECT_EQ(srch_wild("a\\b.c"), nullptr);
  EXPECT_EQ(srch_wild(""), nullptr);
}

TEST(ByteMoves, CountsOfZeroAndBelowWriteNothing) {
  for (int n : {0, -1, -100}) {
    char buf[] = "xxxx";
    EXPECT_EQ(bcopy(buf, "abcd", n), 0);
    EXPECT_EQ(bakmov("abcd", buf, n), 0);
    clear(buf, 'z', n);
    EXPECT_STREQ(buf, "xxxx") << n;
  }
}

TEST(ByteMoves, ExactlyNBytesWithoutTerminatorAndOverlapping) {
  char buf[] = "xxxxxx";
  EXPECT_EQ(bcopy(buf, "abc", 3), 0);
  EXPECT_STREQ(buf, "abcxxx");
  EXPECT_EQ(bakmov("123", buf + 3, 2), 0);
  EXPECT_STREQ(buf, "abc12x");
  clear(buf + 1, 0x100 + '-', 2);  // low 8 bits only
  EXPECT_STREQ(buf, "a--12x");
  // Overlapping moves in each one's safe direction.
  char down[] = "..abcdef";
  bcopy(down, down + 2, 6);
  EXPECT_EQ(std::string(down, 8), "abcdefef");
  char up[] = "abcdef..";
  bakmov(up, up + 2, 6);
  EXPECT_EQ(std::string(up, 8), "ababcdef");
}

// The buffer holds stale bytes past the NUL, so a terminator that is not
// moved along shows up.
TEST(InsChar, PutsByteInFront) {
  for (auto [before, c, after] : {std::tuple<const char*, int, const char*>{"", 'x', "x"},
                                  {"bc", 'a', "abc"},
                                  {"\x82\xA0", -127, "\x81\x82\xA0"}}) {
    char buf[8];
    std::memset(buf, '#', sizeof buf);
    std::strcpy(buf, before);
    EXPECT_EQ(insChar(buf, c), 0);
    EXPECT_STREQ(buf, after);
  }
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
    for (int i = static_cast<int>(rng() % 9); i > 0; i--)
      s += static_cast<char>(alphabet[rng() % sizeof alphabet]);
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
      auto is_c = [c](const char* p) { return static_cast<unsigned char>(*p) == c; };
      auto first = std::find_if(starts.begin(), starts.end(), is_c);
      auto last = std::find_if(starts.rbegin(), starts.rend(), is_c);
      ASSERT_EQ(Strchr(b, c), first == starts.end() ? nullptr : *first) << "round " << round;
      ASSERT_EQ(Strrchr(b, c), last == starts.rend() ? nullptr : *last) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace kawase
