// Blank, word and option skipping, parameters, quotes and path names.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <random>
#include <string>

#include "strutil/strutil.h"

namespace kawase {
namespace {

TEST(Skipping, BlanksAndNonBlanks) {
  const char s[] = " \t ab c";
  EXPECT_EQ(sp_skip(s), s + 3);
  EXPECT_EQ(chr_skip(s + 3), s + 5);
  EXPECT_EQ(chr_skip(s + 6), s + 7);  // to the NUL
  const char nl[] = "\nx";            // a newline is no blank
  EXPECT_EQ(sp_skip(nl), nl);
  EXPECT_EQ(chr_skip(nl), nl + 2);
  const char empty[] = "";
  EXPECT_EQ(sp_skip(empty), empty);
  EXPECT_EQ(chr_skip(empty), empty);
}

TEST(Skipping, WordsSkipStopsAtFirstWordByte) {
  const char dots[] = "  ..abc";
  EXPECT_EQ(words_skip(dots), dots + 2);
  const char marks[] = "!@#-x";
  EXPECT_EQ(words_skip(marks), marks + 3);
  // Byte by byte: a second byte in the letter or "_" range is a word byte.
  const char letter[] = "\x82\x61";
  EXPECT_EQ(words_skip(letter), letter + 1);
  const char under[] = "\x81\x5F";
  EXPECT_EQ(words_skip(under), under + 1);
  const char none[] = "\x82\xA0 \xB1;";
  EXPECT_EQ(words_skip(none), none + 5);
}

TEST(OptionStrSkip, QuotedAndBareStrings) {
  const char single[] = "  'a b' c";
  EXPECT_EQ(optionStr_skip(single), single + 7);
  const char unclosed[] = "\"ab";
  EXPECT_EQ(optionStr_skip(unclosed), unclosed + 3);
  const char semi[] = "abc;def";
  EXPECT_EQ(optionStr_skip(semi), semi + 3);
  const char redirect[] = "\"a>b\"";
  EXPECT_EQ(optionStr_skip(redirect), redirect + 2);
  // Only the same kind of quote closes.
  const char mixed[] = "'a\"b' x";
  EXPECT_EQ(optionStr_skip(mixed), mixed + 5);
  for (const char* bare : {"ab\"c\"", "ab'c", "ab<c", "ab>c", "ab c", "ab\tc"}) {
    SCOPED_TRACE(bare);
    EXPECT_EQ(optionStr_skip(bare), bare + 2);
  }
  const char blank[] = "  ";
  EXPECT_EQ(optionStr_skip(blank), blank + 2);
}

TEST(Isnum, DigitsUpToBlankNewlineOrNul) {
  for (const char* yes : {"", "123 abc", " 12", "12\n", "12\tx", "0"}) {
    SCOPED_TRACE(yes);
    EXPECT_EQ(isnum(yes), 1);
  }
  for (const char* no : {"12a", "-12", "12\r", "1.5", "\xB1", "\x82\x4F"}) {
    SCOPED_TRACE(no);
    EXPECT_EQ(isnum(no), 0);
  }
}

// SetParam's result: the stored text and where copying stopped.
struct Param {
  std::string value;
  std::ptrdiff_t stop;
};

Param setParam(const char* src, int n) {
  char dst[64];
  std::memset(dst, '#', sizeof dst);
  const char* stop = SetParam(src, dst, n);
  return {dst, stop - src};
}

bool operator==(const Param& a, const Param& b) {
  return a.value == b.value && a.stop == b.stop;
}

void PrintTo(const Param& p, std::ostream* os) {
  *os << "{\"" << p.value << "\", " << p.stop << "}";
}

TEST(SetParam, ThreeForms) {
  EXPECT_EQ(setParam("  \"my file\" x", 10), (Param{"my file", 10}));
  EXPECT_EQ(setParam("[sec]", 10), (Param{"[sec]", 4}));
  EXPECT_EQ(setParam("[sec]", 5), (Param{"[sec", 3}));  // "c" is the stop byte
  EXPECT_EQ(setParam("[sec]", 4), (Param{"[se", 2}));
  EXPECT_EQ(setParam("key=value", 10), (Param{"key", 3}));
  EXPECT_EQ(setParam("  key = v", 10), (Param{"key", 5}));
  EXPECT_EQ(setParam("abcdefghijklmnopqrst", 5), (Param{"abcd", 4}));
  // Quoted and bracketed values keep blanks and "=".
  EXPECT_EQ(setParam("\"a = b\"", 10), (Param{"a = b", 6}));
  EXPECT_EQ(setParam("[a b=c]", 10), (Param{"[a b=c]", 6}));
  EXPECT_EQ(setParam("", 10), (Param{"", 0}));
}

TEST(SetParam, SecondBytesAreNeverDelimiters) {
  // Whatever follows a lead byte is copied with it: a quote, a bracket, "=".
  EXPECT_EQ(setParam("\"\x81\"x\" y", 10), (Param{"\x81\"x", 4}));
  EXPECT_EQ(setParam("[\x81]x] y", 10), (Param{"[\x81]x]", 4}));
  EXPECT_EQ(setParam("a\x81=b=c", 10), (Param{"a\x81=b", 4}));
  EXPECT_EQ(setParam("a\x83\x5B"
                     "b c",
                     10),
            (Param{"a\x83\x5B"
                   "b",
                   4}));
}

TEST(SetParam, BudgetCountsCharactersAndNeverSplitsOne) {
  EXPECT_EQ(setParam("ab\x82\xA0"
                     "cd",
                     3),
            (Param{"ab", 2}));
  EXPECT_EQ(setParam("ab\x82\xA0"
                     "cd",
                     4),
            (Param{"ab\x82\xA0", 4}));
  EXPECT_EQ(setParam("\"\x82\xA0\x82\xA2\x82\xA4\"", 3), (Param{"\x82\xA0\x82\xA2", 5}));
  // In the bracketed form the stop byte goes in alone, even when it is the
  // first byte of a two-byte character.
  EXPECT_EQ(setParam("[a\x82\xA0]", 3), (Param{"[a", 1}));
  EXPECT_EQ(setParam("[a\x82\xA0]", 4), (Param{"[a\x82", 2}));
  EXPECT_EQ(setParam("[a\x82\xA0]", 5), (Param{"[a\x82\xA0]", 4}));
}

TEST(SetParam, LeadByteBeforeTheNul) {
  EXPECT_EQ(setParam("ab\x81", 10), (Param{"ab\x81", 3}));
  EXPECT_EQ(setParam("\"ab\x81", 10), (Param{"ab\x81", 4}));
  EXPECT_EQ(setParam("[a\x81", 10), (Param{"[a\x81", 3}));
}

TEST(SetParam, BudgetsOfOneAndBelow) {
  for (int n : {1, 0, -1, INT_MIN}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(setParam("abc", n), (Param{"", 0}));
    EXPECT_EQ(setParam("\"abc\"", n), (Param{"", 1}));
    EXPECT_EQ(setParam("[abc]", n), (Param{"[", 0}));
  }
}

// Over random text and budgets: the stored value is exactly the source
// bytes from the start of the value to the returned position (plus the
// stop byte in the bracketed form), holds at most n - 1 characters (n - 2
// and the stop byte when bracketed), and fits in 2 * n bytes.
TEST(SetParam, RandomTextStoresTheBytesItPassed) {
  const unsigned char alphabet[] = {'a', ' ', '=', '"', '[', ']', '\t', 0x81, 0x40, 0x5D, 0xB1};
  std::mt19937 rng(42);
  for (int round = 0; round < 3000; round++) {
    std::string src;
    const int len = static_cast<int>(rng() % 10);
    for (int i = 0; i < len; i++) src += static_cast<char>(alphabet[rng() % sizeof alphabet]);
    const int n = 1 + static_cast<int>(rng() % 8);
    char dst[32];
    const char* s = src.c_str();
    const char* stop = SetParam(s, dst, n);
    SCOPED_TRACE(testing::Message() << "round " << round << " n " << n);

    const char* begin = sp_skip(s);
    const bool bracketed = *begin == '[';
    if (*begin == '"') begin++;
    ASSERT_LE(begin, stop);
    std::string passed(begin, stop);
    if (bracketed && *stop != '\0') passed += *stop;
    ASSERT_EQ(std::string(dst), passed);
    ASSERT_LE(std::strlen(dst) + 1, static_cast<size_t>(2 * n));

    int chars = 0;
    for (const char* p = begin; p < stop; p += isLeadByte(static_cast<unsigned char>(*p)) ? 2 : 1)
      chars++;
    ASSERT_LE(chars, bracketed ? std::max(n - 2, 0) : n - 1);
  }
}

TEST(CutQuoteChar, RemovesEnclosingQuotes) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"\"abc\"", "abc"}, {"\"abc", "abc"},     {"\"", ""},
               {"abc\"", "abc\""}, {"\"\"", ""},         {"\"a\"b\"", "a\"b"},
               {"", ""},           {" \"a\"", " \"a\""}, {"\"\x82\xA0\"", "\x82\xA0"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    char buf[16];
    std::strcpy(buf, c.in);
    EXPECT_EQ(cutQuoteChar(buf), 0);
    EXPECT_STREQ(buf, c.out);
  }
}

TEST(FindExt, LastComponentOnly) {
  EXPECT_EQ(findExt("C:\\dir.d\\file"), nullptr);
  const char abc[] = "a.b.c";
  EXPECT_EQ(findExt(abc), abc + 3);
  const char profile[] = "C:\\x\\.profile";
  EXPECT_EQ(findExt(profile), profile + 5);
  const char slash[] = "a/b.c/d";  // "/" separates nothing
  EXPECT_EQ(findExt(slash), slash + 3);
  EXPECT_EQ(findExt(""), nullptr);
  EXPECT_EQ(findExt("dir.x\\"), nullptr);
  EXPECT_EQ(findExt("noext"), nullptr);
}

TEST(FindExt, TrailByteBackslashDoesNotStartAComponent) {
  const char txt[] = "d\\\x95\x5C.txt";
  EXPECT_EQ(findExt(txt), txt + 4);
  // Taking the 0x5C for a separator would leave "z" and no extension.
  const char inside[] = "x.y\x95\x5Cz";
  EXPECT_EQ(findExt(inside), inside + 1);
}

struct Split {
  std::string path, head, rest;
};

Split split(const char* in) {
  char path[64], head[64], rest[64];
  std::strcpy(path, in);
  std::memset(head, '#', sizeof head);
  std::memset(rest, '#', sizeof rest);
  head[63] = rest[63] = '\0';
  EXPECT_EQ(sepname(path, head, rest), 0);
  return {path, head, rest};
}

TEST(Sepname, SplitsAfterFirstWildcardComponent) {
  Split s = split("src\\a?\\x.c");
  EXPECT_EQ(s.head, "src\\a?");
  EXPECT_EQ(s.rest, "x.c");
  EXPECT_EQ(s.path, "src\\a?");

  s = split("C:\\work\\b?.c");
  EXPECT_EQ(s.head, "C:\\work\\b?.c");
  EXPECT_EQ(s.rest, "");

  s = split("C:\\work\\b.c");
  EXPECT_EQ(s.head, "C:\\work\\b.c");
  EXPECT_EQ(s.rest, "");
  EXPECT_EQ(s.path, "C:\\work\\b.c");

  s = split("a\\*\\b\\?\\c");
  EXPECT_EQ(s.head, "a\\*");
  EXPECT_EQ(s.rest, "b\\?\\c");

  s = split("");
  EXPECT_EQ(s.head, "");
  EXPECT_EQ(s.rest, "");
}

TEST(Sepname, TrailByteBackslashIsNotTheSplit) {
  Split s = split(
      "a*\x95\x5C"
      "b\\c");
  EXPECT_EQ(s.head,
            "a*\x95\x5C"
            "b");
  EXPECT_EQ(s.rest, "c");
}

}  // namespace
}  // namespace kawase
