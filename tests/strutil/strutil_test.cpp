// The Shift_JIS-aware string library.
#include "strutil/strutil.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "platform/textstream.h"
#include "testutil/fakes.h"

namespace kawase {
namespace {

template <typename... T>
using Rows = std::vector<std::tuple<T...>>;

// Path-name ordering, depth sorting and case folding over Shift_JIS text.

// Ascending: the end, "\", other ASCII (letters folded: "[" to "`" first),
// katakana, high bytes with their second byte raw. Each pair compares by
// position, alone and between a common prefix and tails.
TEST(Compare, StrCmpClassOrder) {
  const std::vector<std::string> up = {
      "",         "\\",       "!",        "[",        "]",        "^",        "_",
      "`",        "a",        "Z",        "{",        "|",        "~",        "\x7F",
      "\xA1",     "\xB1",     "\xDF",     "\x80\x40", "\x81",     "\x81\x40", "\x81\x41",
      "\x81\x5A", "\x81\x5C", "\x81\x61", "\x81\x7E", "\x81\x80", "\x9F\xFC", "\xA0\x40",
      "\xE0\x40", "\xFC\xFC", "\xFD",     "\xFF\x40"};
  for (size_t i = 0; i < up.size(); i++)
    for (size_t j = 0; j < up.size(); j++) {
      const int want = i < j ? -1 : (i > j ? 1 : 0);
      EXPECT_EQ(StrCmp(up[i].c_str(), up[j].c_str()), want) << i << " " << j;
      if (i == 0 || j == 0) continue;  // the end is only the end without a tail
      const std::string a = "x\\" + up[i] + "!a", b = "x\\" + up[j] + "!B";
      EXPECT_EQ(StrCmp(a.c_str(), b.c_str()), i == j ? -1 : want) << i << " " << j;
    }
}

// StrnCmp's budget counts bytes (negative: none) and never splits a
// character. DirCmp, an equality test, drops one trailing "\" but not the
// 0x5C of 0x95 0x5C. strcasecmp: unsigned bytes, the first 1,023 only.
TEST(Compare, BudgetsDirectoriesAndCaseInsensitive) {
  using Cmp = int (*)(const char*, const char*, int);
  const Cmp dir = [](const char* a, const char* b, int) { return DirCmp(a, b); };
  const Cmp nocase = [](const char* a, const char* b, int) { return strcasecmp(a, b); };
  const std::string as(1023, 'A'), xs = as + "x", ys = std::string(1023, 'a') + "yy";
  const std::string bs = std::string(1022, 'a') + "b";
  const std::vector<std::tuple<Cmp, const char*, const char*, int, int>> rows = {
      {StrnCmp, "\x81\x40", "\xB1", 0, 0},     {StrnCmp, "\x82\xA0", "\x82\xA2", 1, -1},
      {StrnCmp, "abX", "aby", 2, 0},           {StrnCmp, "a\x82\xA2x", "a\x82\xA0x", 2, 1},
      {StrnCmp, "abX", "aby", 3, -1},          {StrnCmp, "a\x82\xA0x", "a\x82\xA0y", 3, 0},
      {StrnCmp, "abc", "ABD", -1000, -1},      {StrnCmp, "a\x82\xA0x", "a\x82\xA0y", 4, -1},
      {dir, "C:\\TMP\\", "c:\\tmp", 0, 0},     {dir, "", "", 0, 0},
      {dir, "d\\\x95\\", "d\\\x95\\\\", 0, 0}, {dir, "a", "ab", 0, 1},
      {dir, "d\\\x95\\\\", "d\\\x95\\", 0, 0}, {dir, "a\\\\", "a", 0, 1},
      {dir, "d\\\x95\\", "d\\\x95", 0, 1},     {dir, "ab", "a", 0, 1},
      {nocase, "a_", "aB", 0, 0x5F - 0x62},    {dir, "abc", "abd", 0, -1},
      {nocase, xs.c_str(), ys.c_str(), 0, 0},  {nocase, "ABC", "abc", 0, 0},
      {nocase, "\xE0", "A", 0, 0x7F},          {nocase, "\x82\x41", "\x82\x61", 0, -0x20},
      {nocase, "", "\xFF", 0, -255},           {nocase, as.c_str(), bs.c_str(), 0, 'a' - 'b'}};
  for (auto [cmp, a, b, n, want] : rows) EXPECT_EQ(cmp(a, b, n), want) << a << " " << b << " " << n;
}

// Sorted back into this order: fewer levels (a 0x5C second byte is none),
// then StrCmp order, each element leading through a pointer to its path.
TEST(Compare, CompFileSortsShallowerPathsFirst) {
  const char* paths[] = {"Y",    "z",    "\x95\\x", "\\",          "a\\b",
                         "A\\x", "b\\c", "\xB1\\a", "\x81\x40\\a", "b\\c\\d"};
  std::vector<const char**> list;
  for (const char*& p : paths) list.insert(list.begin(), &p);  // in reverse
  std::qsort(list.data(), list.size(), sizeof list[0], comp_file);
  for (size_t i = 0; i < list.size(); i++) EXPECT_EQ(*list[i], paths[i]) << i;
}

// After katakana a letter is its own character; after other high bytes not.
TEST(Compare, CaseFoldingLeavesTwoByteCharacters) {
  char up[] = "azAZ@[`{~", low[] = "azAZ@[`{~", high[] = "\x82\x61g\xB1h\x80i\xA0j\xFDk\xE0l",
       highLow[] = "\x82\x41G\xDFH\x9FI", tail[] = "a\x82";
  EXPECT_EQ(to_upper(up) + to_lower(low) + to_upper(high) + to_lower(highLow) + to_upper(tail), 0);
  EXPECT_EQ(std::string(up) + " " + low + " " + high + " " + highLow + " " + tail,
            "AZAZ@[`{~ azaz@[`{~ \x82\x61G\xB1H\x80i\xA0j\xFDk\xE0l \x82\x41g\xDFh\x9FI A\x82");
}

// Character scanning and byte moves; a lead byte before the NUL stands alone.

std::ptrdiff_t at(const char* found, const char* s) {
  return found == nullptr ? -1 : found - s;
}

// Strchr, Strrchr, index, rindex: a second byte that looks like "\" or a
// letter is skipped by the first two only; c counts by its low 8 bits.
TEST(Scan, CharacterAndPlainByteSearches) {
  const Rows<const char*, int, int, int, int, int> rows = {
      {"\x82\x61\x61\x82\x61", 'a', 2, 2, 1, 4}, {"abc", 0, -1, -1, -1, -1},
      {"\x95\\\\\x95\\", '\\', 2, 2, 1, 4},      {"a\\\x81", 0x81, 2, 2, 2, 2},
      {"ab\x81\x40\x81\x41", 0x81, 2, 4, 2, 4},  {"ab\x81\x40\x81\x41", -127, 2, 4, 2, 4},
      {"ab\x81\x40\x81\x41", 0x40, -1, -1, 3, 3}};
  for (auto [s, c, first, last, plainFirst, plainLast] : rows)
    EXPECT_EQ(std::make_tuple(at(Strchr(s, c), s), at(Strrchr(s, c), s), at(index(s, c), s),
                              at(rindex(s, c), s)),
              std::make_tuple(first, last, plainFirst, plainLast))
        << s << " " << c;
  const Rows<const char*, int, int> back = {
      {"\x95\\x\x82\xA0", 0, -1}, {"\x95\\x\x82\xA0", 1, 0}, {"", 1, -1},
      {"\x95\\x\x82\xA0", 2, 0},  {"\x95\\x\x82\xA0", 3, 2}, {"\x95\\x\x82\xA0", 5, 3},
      {"a\\\x81", 3, 2}};
  for (auto [s, end, want] : back) EXPECT_EQ(at(get_prech(s, s + end), s), want) << end;
}

// index2 tests one-byte characters only; serstr steps by the class rule
// (0x40, 0x7E, 0x80, 0xFC are trail bytes; " ", 0x7F, 0xFD are not).
TEST(Scan, SetAndSubstringSearches) {
  using Find = char* (*)(const char*, const char*);
  const Rows<Find, const char*, const char*, int> rows = {
      {index2, "a\\\x81", "\x81", 2}, {index2, "\x95\\x\\;", "\\", 3},
      {serstr, "\x81 x", " x", 1},    {serstr, "\x81\x40x", "\x40x", -1},
      {serstr, "\x95\\xy", "xy", 2},  {serstr, "\x81\x7E!", "~!", -1},
      {serstr, "\x95\\xy", "y!", -1}, {serstr, "\x81\x7F!", "\x7F!", 1},
      {serstr, "\x95\\xy", "", -1},   {serstr, "\x81\x80!", "\x80!", -1},
      {serstr, "a\\\x81", "\x81", 2}, {serstr, "\x81\xFC!", "\xFC!", -1},
      {index1, "abcabc", "cab", 2},   {serstr, "\x81\xFD!", "\xFD!", 1},
      {index1, "ab", "abc", -1},      {serstr, "\x95\\xy", "\\xy", -1},
      {index1, "abc", "", 0},         {index1, "", "", -1},
      {index1, "\x95\\x", "\\x", 1}};
  for (auto [find, s, arg, want] : rows) EXPECT_EQ(at(find(s, arg), s), want) << s << " " << arg;
}

// In place. ChgChr steps by the byte as stored (a lead byte put in takes the
// next byte); `edges` has each edge of the lead ranges before a backslash.
// Moves of 0 or fewer bytes move nothing; insChar moves the NUL along.
TEST(Scan, ChangesInPlace) {
  char path[] = "C:\\\x95\\\\x\\", put[] = "xxbx", tail[] = "a\\\x81", empty[2] = "",
       edges[] = "\x80\\\x81\\\x9F\\\xA0\\\xDF\\\xE0\\\xFC\\\xFD\\";
  EXPECT_EQ(ChgChr(path, '\\', '/'), path);
  ChgChr(put, 'x', 0x81), ChgChr(tail, 0x81, '!'), ChgChr(edges, '\\', '/');
  EXPECT_EQ(std::string(path) + " " + put + " " + tail + " " + edges,
            "C:/\x95\\/x/ \x81xb\x81 a\\! \x80/\x81\\\x9F\\\xA0/\xDF/\xE0\\\xFC\\\xFD/");
  char buf[] = "xxxxxx", down[] = "..abcdef", up[] = "abcdef..", ins[8] = "\x82\xA0\0####";
  for (int n : {0, -1}) {
    EXPECT_EQ(bcopy(buf, "ab", n) + bakmov("ab", buf, n), 0);
    clear(buf, 'z', n);
  }
  EXPECT_STREQ(buf, "xxxxxx");
  EXPECT_EQ(bcopy(buf, "abc", 3) + bakmov("123", buf + 3, 2) + bcopy(down, down + 2, 6), 0);
  EXPECT_EQ(bakmov(up, up + 2, 6) + insChar(ins, -127) + insChar(empty, 'x'), 0);
  clear(buf + 1, 0x100 + '-', 2);  // low 8 bits only
  EXPECT_EQ(std::string(buf) + " " + down + " " + up + " " + ins + " " + empty,
            "a--12x abcdefef ababcdef \x81\x82\xA0 x");
}

// Tab expansion to tab stops, its 4,096-column limit, and trailing blanks.

std::string rep(size_t n, char c = ' ') {
  return std::string(n, c);
}

// Width, line, and the expanded line, or "!" where it would reach 4,096
// columns. Two bytes take two columns; a width below 1 counts as 1.
TEST(Tabs, ExpandToTabStopsUpToTheLimit) {
  const Rows<int, std::string, std::string> rows = {
      {8, "abc\t", "abc" + rep(5)},    {8, "\t", rep(8)},
      {0, "a\t\tb", "a  b"},           {8, "abcdefgh\t", "abcdefgh" + rep(8)},
      {INT_MIN, "a\t\tb", "a  b"},     {4, "a\tb\t\t", "a   b" + rep(7)},
      {4095, "\t", rep(4095)},         {8, rep(4095, 'x'), rep(4095, 'x')},
      {8, rep(4096, 'x'), "!"},        {8, "", ""},
      {8, rep(4088, 'x') + "\t", "!"}, {8, "\x82\xA0x\t", "\x82\xA0x" + rep(5)},
      {7, rep(585, '\t'), rep(4095)},  {5, rep(4090, 'x') + "\t", rep(4090, 'x') + rep(5)},
      {8, rep(512, '\t'), "!"},        {8, rep(4087, 'x') + "\t", rep(4087, 'x') + " "},
      {INT_MAX, "a\t", "!"},           {4096, "\t", "!"}};
  for (const auto& [tabw, line, want] : rows) {
    const int need = chk_exptab(tabw, line.c_str());
    EXPECT_EQ(need, want == "!" ? -1 : static_cast<int>(want.size()) + 1) << tabw << " " << line;
    if (want == "!") continue;  // exp_tab would end the process
    EXPECT_EQ(exp_tab(tabw, line.c_str()), want) << tabw << " " << line;
  }
}

// exp_tab prints a too-long line (its first 256 bytes, a short one padded
// on the left) on standard output, here a binary file, and exits with 1.
TEST(Tabs, TooLongLinePrintedAndExit1) {
  std::string line;
  for (int i = 0; i < 4096; i++) line += static_cast<char>('a' + i % 26);
  const std::string path = ::testing::TempDir() + "kawase_exptab_too_long";
  const Rows<int, std::string, std::string> rows = {{8, line, line.substr(0, 256)},
                                                    {5000, "ab\t", rep(253) + "ab\t"}};
  for (const auto& [tabw, in, field] : rows) {
    EXPECT_EXIT((replaceStdStream(kStdout, streamOpen(path.c_str(), "wb")),
                 exp_tab(tabw, in.c_str()), Exit(0)),
                ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(test::readFile(path), "Error: " + field + " ... too long line\n");
  }
  std::remove(path.c_str());
}

// The newline is no blank.
TEST(Tabs, CutBackSpaceRemovesTrailingSpacesAndTabs) {
  const Rows<const char*, const char*> rows = {
      {"abc  \t \t", "abc"}, {" \t ", ""},         {"", ""},
      {"abc \n", "abc \n"},  {"  a b  ", "  a b"}, {"\x82\xA0 \t", "\x82\xA0"}};
  for (auto [in, out] : rows) {
    std::vector<char> s(in, in + std::strlen(in) + 1);
    EXPECT_EQ(cutBackSpace(s.data()), 0);
    EXPECT_STREQ(s.data(), out) << in;
  }
}

// Blank, word and option skipping, parameters, quotes and path names.

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
