// Blank, word and option skipping, parameters, quotes and path names.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "strutil/strutil.h"

namespace kawase {
namespace {

struct Stop {
  const char* s;
  long at;
};

// Where `skip` stops in each string, as an offset.
void expectStops(char* (*skip)(const char*), std::initializer_list<Stop> rows) {
  for (const Stop& row : rows)
    EXPECT_EQ(skip(row.s) - row.s, row.at) << testing::PrintToString(row.s);
}

// A newline is no blank; words_skip goes byte by byte, so a second byte in
// the letter or "_" range is a word byte; a quoted option string ends only
// at its own kind of quote and before a redirection sign, a bare one also
// at a quote or ";".
TEST(Skipping, WhereEachScanStops) {
  expectStops(sp_skip, {{" \t ab c", 3}, {"\nx", 0}, {"", 0}});
  expectStops(chr_skip, {{"ab c", 2}, {"c", 1}, {"\nx", 2}, {"", 0}});
  expectStops(words_skip,
              {{"  ..abc", 2}, {"!@#-x", 3}, {"\x82\x61", 1}, {"\x81_", 1}, {"\x82\xA0 \xB1;", 5}});
  expectStops(optionStr_skip,
              {{"  'a b' c", 7}, {"\"ab", 3}, {"\"a>b\"", 2}, {"'a\"b' x", 5}, {"  ", 2}});
  expectStops(optionStr_skip, {{"abc;def", 3}, {"ab\"c\"", 2}, {"ab'c", 2}, {"ab<c", 2}});
  expectStops(optionStr_skip, {{"ab>c", 2}, {"ab c", 2}, {"ab\tc", 2}});
}

TEST(Isnum, DigitsUpToBlankNewlineOrNul) {
  for (const char* yes : {"", "123 abc", " 12", "12\n", "12\tx", "0"})
    EXPECT_EQ(isnum(yes), 1) << yes;
  for (const char* no : {"12a", "-12", "12\r", "1.5", "\xB1", "\x82\x4F"})
    EXPECT_EQ(isnum(no), 0) << no;
}

// SetParam from `src` with budget n into a dirty buffer stores `value` and
// stops at src + stop.
void expectParam(const char* src, int n, const std::string& value, long stop) {
  char dst[64];
  std::memset(dst, '#', sizeof dst);
  const char* end = SetParam(src, dst, n);
  EXPECT_EQ(dst, value) << testing::PrintToString(src) << " n " << n;
  EXPECT_EQ(end - src, stop) << testing::PrintToString(src) << " n " << n;
}

TEST(SetParam, FormsBudgetsAndSecondBytes) {
  // Quoted, bracketed (the stop byte goes in too) and bare up to "=" or a
  // blank; quoted and bracketed values keep blanks and "=".
  expectParam("  \"my file\" x", 10, "my file", 10);
  expectParam("[sec]", 10, "[sec]", 4);
  expectParam("[sec]", 5, "[sec", 3);
  expectParam("[sec]", 4, "[se", 2);
  expectParam("key=value", 10, "key", 3);
  expectParam("  key = v", 10, "key", 5);
  expectParam("abcdefghijklmnopqrst", 5, "abcd", 4);
  expectParam("\"a = b\"", 10, "a = b", 6);
  expectParam("[a b=c]", 10, "[a b=c]", 6);
  expectParam("", 10, "", 0);
  // Whatever follows a lead byte is copied with it: a quote, "]", "=", "[".
  expectParam("\"\x81\"x\" y", 10, "\x81\"x", 4);
  expectParam("[\x81]x] y", 10, "[\x81]x]", 4);
  expectParam("a\x81=b=c", 10, "a\x81=b", 4);
  expectParam("a\x83[b c", 10, "a\x83[b", 4);
  // The budget counts characters and never splits one; in the bracketed
  // form the stop byte goes in alone, even a first byte.
  expectParam("ab\x82\xA0xy", 3, "ab", 2);
  expectParam("ab\x82\xA0xy", 4, "ab\x82\xA0", 4);
  expectParam("\"\x82\xA0\x82\xA2\x82\xA4\"", 3, "\x82\xA0\x82\xA2", 5);
  expectParam("[a\x82\xA0]", 3, "[a", 1);
  expectParam("[a\x82\xA0]", 4, "[a\x82", 2);
  expectParam("[a\x82\xA0]", 5, "[a\x82\xA0]", 4);
  // A lead byte before the NUL.
  expectParam("ab\x81", 10, "ab\x81", 3);
  expectParam("\"ab\x81", 10, "ab\x81", 4);
  expectParam("[a\x81", 10, "[a\x81", 3);
  for (int n : {1, 0, -1, INT_MIN}) {
    expectParam("abc", n, "", 0);
    expectParam("\"abc\"", n, "", 1);
    expectParam("[abc]", n, "[", 0);
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
  // The 0x5C of 0x95 0x5C starts no component: taking it for a separator
  // would leave "z" and no extension.
  const char txt[] = "d\\\x95\\.txt";
  EXPECT_EQ(findExt(txt), txt + 4);
  const char inside[] = "x.y\x95\\z";
  EXPECT_EQ(findExt(inside), inside + 1);
}

// sepname on a copy of `in` with dirty output buffers: the path as cut,
// the head and the rest.
std::vector<std::string> split(const char* in) {
  char path[64], head[64], rest[64];
  std::strcpy(path, in);
  std::memset(head, '#', sizeof head);
  std::memset(rest, '#', sizeof rest);
  head[63] = rest[63] = '\0';
  EXPECT_EQ(sepname(path, head, rest), 0);
  return {path, head, rest};
}

// Split after the first component holding a wildcard; the 0x5C of
// 0x95 0x5C is not that component's end.
TEST(Sepname, SplitsAfterFirstWildcardComponent) {
  using V = std::vector<std::string>;
  EXPECT_EQ(split("src\\a?\\x.c"), (V{"src\\a?", "src\\a?", "x.c"}));
  EXPECT_EQ(split("C:\\work\\b?.c"), (V{"C:\\work\\b?.c", "C:\\work\\b?.c", ""}));
  EXPECT_EQ(split("C:\\work\\b.c"), (V{"C:\\work\\b.c", "C:\\work\\b.c", ""}));
  EXPECT_EQ(split("a\\*\\b\\?\\c"), (V{"a\\*", "a\\*", "b\\?\\c"}));
  EXPECT_EQ(split(""), (V{"", "", ""}));
  EXPECT_EQ(split("a*\x95\\y\\c"), (V{"a*\x95\\y", "a*\x95\\y", "c"}));
}

}  // namespace
}  // namespace kawase
