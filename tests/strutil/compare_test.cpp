// Path-name ordering, depth sorting and case folding over Shift_JIS text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "strutil/strutil.h"

namespace kawase {
namespace {

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

}  // namespace
}  // namespace kawase
