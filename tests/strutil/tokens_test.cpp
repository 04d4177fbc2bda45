// Blank, word and option skipping, parameters, quotes and path names.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "strutil/strutil.h"

namespace kawase {
namespace {

template <typename... T>
using Rows = std::vector<std::tuple<T...>>;

// A newline is no blank (nor does it end a number, a CR does not); words_skip
// goes byte by byte; a quoted option ends at its own quote or before < or >.
TEST(Tokens, WhereEachScanStops) {
  using Skip = char* (*)(const char*);
  const Skip sp = sp_skip, chr = chr_skip, word = words_skip, opt = optionStr_skip;
  const Rows<Skip, const char*, int> rows = {
      {sp, " \t ab c", 3}, {sp, "\nx", 0},        {word, "\x82\xA0 \xB1;", 5}, {chr, "ab\tc", 2},
      {chr, "\nx", 2},     {opt, "\"a>b\"", 2},   {opt, "abc;def", 3},         {chr, "", 0},
      {opt, "ab>c", 2},    {word, "  ..abc", 2},  {opt, "ab\"c\"", 2},         {opt, "\"a<b\"", 2},
      {word, "!@#-x", 3},  {word, "\x82\x61", 1}, {opt, "'a\"b' x", 5},        {opt, "ab'c", 2},
      {word, "\x81_", 1},  {opt, "ab\tc", 2},     {opt, "  'a b' c", 7},       {opt, "ab<c", 2},
      {opt, "  ", 2},      {opt, "\"ab", 3}};
  for (auto [skip, s, at] : rows) EXPECT_EQ(skip(s) - s, at) << s;
  for (const char* yes : {"", "123 abc", " 12", "12\n", "12\tx", "0"}) EXPECT_EQ(isnum(yes), 1);
  for (const char* no : {"12a", "-12", "12\r", "1.5", "\xB1", "\x82\x4F"}) EXPECT_EQ(isnum(no), 0);
}

// Quoted, bracketed (with the stop byte) or bare up to "=" or a blank; a
// lead byte takes the next byte along. The budget counts characters.
TEST(Tokens, SetParamFormsBudgetsAndSecondBytes) {
  const Rows<const char*, int, const char*, int> rows = {
      {"[sec]", 10, "[sec]", 4},       {"  \"my file\" x", 10, "my file", 10},
      {"[sec]", 5, "[sec", 3},         {"abcdefghijklmnopqrst", 5, "abcd", 4},
      {"[sec]", 4, "[se", 2},          {"\"\x81\"x\" y", 10, "\x81\"x", 4},
      {"key=value", 10, "key", 3},     {"[\x81]x] y", 10, "[\x81]x]", 4},
      {" \tkey = v", 10, "key", 5},    {"ab\x82\xA0xy", 4, "ab\x82\xA0", 4},
      {"ab\tc", 10, "ab", 2},          {"\"\x82\xA0\x82\xA2\"", 2, "\x82\xA0", 3},
      {"\"a = b\"", 10, "a = b", 6},   {"[a\x82\xA0]", 5, "[a\x82\xA0]", 4},
      {"[a b=c]", 10, "[a b=c]", 6},   {"abc", 1, "", 0},
      {"a\x81=b=c", 10, "a\x81=b", 4}, {"[a\x82\xA0]", 4, "[a\x82", 2},
      {"[a\x81", 10, "[a\x81", 3},     {"\"abc\"", 0, "", 1},
      {"\"ab\x81", 10, "ab\x81", 4},   {"[a\x82\xA0]", 3, "[a", 1},
      {"[abc]", INT_MIN, "[", 0},      {"ab\x82\xA0xy", 3, "ab", 2},
      {"ab\x81", 10, "ab\x81", 3}};
  for (auto [src, n, value, stop] : rows) {
    char dst[32];
    std::memset(dst, '#', sizeof dst);
    EXPECT_EQ(SetParam(src, dst, n) - src, stop) << src << " " << n;
    EXPECT_STREQ(dst, value) << src << " " << n;
  }
}

// A trailing quote goes only with a leading one. Only a backslash of its own
// separates (not "/", not a 0x5C second byte); sepname also cuts the path.
TEST(Tokens, QuotesExtensionsAndWildcardSplits) {
  const Rows<const char*, const char*> quoted = {
      {"\"abc\"", "abc"}, {"\"abc", "abc"}, {"\"", ""},           {"abc\"", "abc\""},
      {"\"\"", ""},       {"", ""},         {"\"a\"b\"", "a\"b"}, {" \"a\"", " \"a\""}};
  for (auto [in, out] : quoted) {
    std::vector<char> s(in, in + std::strlen(in) + 1);
    EXPECT_EQ(cutQuoteChar(s.data()), 0);
    EXPECT_STREQ(s.data(), out) << in;
  }
  const Rows<const char*, int> exts = {
      {"C:\\dir.d\\file", -1}, {"a.b.c", 3}, {"C:\\x\\.profile", 5}, {"a/b.c/d", 3},
      {"dir.x\\", -1},         {"", -1},     {"d\\\x95\\.txt", 4},   {"x.y\x95\\z", 1}};
  for (auto [path, dot] : exts)
    EXPECT_EQ(findExt(path) == nullptr ? -1 : findExt(path) - path, dot) << path;
  const Rows<const char*, const char*, const char*> splits = {
      {"src\\a?\\x.c", "src\\a?", "x.c"},     {"C:\\work\\b?.c", "C:\\work\\b?.c", ""},
      {"C:\\work\\b.c", "C:\\work\\b.c", ""}, {"a\\*\\b\\?\\c", "a\\*", "b\\?\\c"},
      {"a*\x95\\y\\c", "a*\x95\\y", "c"},     {"", "", ""}};
  for (auto [in, head, rest] : splits) {
    std::vector<char> path(in, in + std::strlen(in) + 1), h(path.size(), '#'), r = h;
    EXPECT_EQ(sepname(path.data(), h.data(), r.data()), 0);
    EXPECT_EQ(std::string(path.data()) + "|" + h.data() + "|" + r.data(),
              std::string(head) + "|" + head + "|" + rest);
  }
}

}  // namespace
}  // namespace kawase
