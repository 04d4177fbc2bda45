// Path-name ordering, depth sorting and case folding over Shift_JIS text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "strutil/strutil.h"

namespace kawase {
namespace {

int sign(int x) {
  return (x > 0) - (x < 0);
}

TEST(StrCmp, LettersWithoutCaseAndTheEndFirst) {
  EXPECT_EQ(StrCmp("ABC", "abc"), 0);
  EXPECT_EQ(StrCmp("abc", "abcd"), -1);
  EXPECT_EQ(StrCmp("abcd", "abc"), 1);
  EXPECT_EQ(StrCmp("a", "a\\"), -1);  // the end sorts before the backslash
  EXPECT_EQ(StrCmp("", ""), 0);
  EXPECT_EQ(StrCmp("\xB1g", "\xB1H"), -1);  // katakana is one byte: the letter after it folds
  // Lead bytes right before the NUL.
  EXPECT_EQ(StrCmp("ab\x81", "ab\x81"), 0);
  EXPECT_EQ(StrCmp("ab\x81", "ab\x81\x40"), -1);
  EXPECT_EQ(StrCmp("ab\x81\x40", "ab\x81"), 1);
  EXPECT_EQ(StrCmp("ab\x81", "ab\x82"), -1);
}

// One list in ascending order across every class: end of string,
// backslash, other ASCII (the punctuation between the upper and lower case
// letters before all letters, the bytes above "z" after them), single-byte
// katakana, two-byte and other high bytes (second bytes compared raw, never
// folded, a 0x5C no backslash). Every pair must compare by its positions,
// from either side, alone and between a common prefix and tails that fold.
TEST(StrCmp, ClassOrderAcrossAsciiKatakanaAndTwoByte) {
  const std::vector<std::string> ascending = {
      "",         "\\",       "!",        "[",        "]",        "^",        "_",
      "`",        "a",        "Z",        "{",        "|",        "~",        "\x7F",
      "\xA1",     "\xB1",     "\xDF",     "\x80\x40", "\x81\x40", "\x81\x41", "\x81\x5A",
      "\x81\x5C", "\x81\x61", "\x81\x7E", "\x81\x80", "\x9F\xFC", "\xA0\x40", "\xE0\x40",
      "\xFC\xFC", "\xFD",     "\xFF\x40"};
  for (size_t i = 0; i < ascending.size(); i++)
    for (size_t j = 0; j < ascending.size(); j++) {
      SCOPED_TRACE(testing::Message() << i << " vs " << j);
      const int want = i < j ? -1 : (i > j ? 1 : 0);
      EXPECT_EQ(StrCmp(ascending[i].c_str(), ascending[j].c_str()), want);
      // The end of string is only the end without a tail.
      if (i == 0 || j == 0) continue;
      const std::string a = "x\\" + ascending[i] + "!a";
      const std::string b = "x\\" + ascending[j] + "!B";
      EXPECT_EQ(StrCmp(a.c_str(), b.c_str()), i == j ? -1 : want);
    }
}

TEST(StrnCmp, BudgetInBytesNeverSplitsACharacter) {
  EXPECT_EQ(StrnCmp("abc", "xyz", 0), 0);
  EXPECT_EQ(StrnCmp("\x81\x40", "\xB1", 0), 0);
  EXPECT_EQ(StrnCmp("abX", "aby", 2), 0);
  EXPECT_EQ(StrnCmp("abX", "aby", 3), -1);
  EXPECT_EQ(StrnCmp("ab", "abc", 2), 0);
  EXPECT_EQ(StrnCmp("ab", "abc", 3), -1);
  // The budget ends after the first byte of a two-byte character; its
  // second byte is still compared.
  EXPECT_EQ(StrnCmp("\x82\xA0", "\x82\xA2", 1), -1);
  EXPECT_EQ(StrnCmp("a\x82\xA2x", "a\x82\xA0x", 2), 1);
  EXPECT_EQ(StrnCmp("a\x82\xA0x", "a\x82\xA0y", 3), 0);
  EXPECT_EQ(StrnCmp("a\x82\xA0x", "a\x82\xA0y", 4), -1);
  // Any negative budget compares to the end.
  for (int n : {-1, -2, -1000}) {
    EXPECT_EQ(StrnCmp("abc", "abd", n), -1);
    EXPECT_EQ(StrnCmp("abc", "ABC", n), 0);
  }
}

// An equality test: names of different length give 1. A name ending in
// 0x95 0x5C names the same directory with or without a trailing separator;
// the 0x5C of the character is not that separator.
TEST(DirCmp, SameDirectoryIgnoringCaseAndOneTrailingBackslash) {
  EXPECT_EQ(DirCmp("C:\\TMP\\", "c:\\tmp"), 0);
  EXPECT_EQ(DirCmp("c:\\tmp", "C:\\TMP\\"), 0);
  EXPECT_EQ(DirCmp("", ""), 0);
  EXPECT_EQ(DirCmp("a", "ab"), 1);
  EXPECT_EQ(DirCmp("ab", "a"), 1);
  EXPECT_EQ(DirCmp("a\\\\", "a"), 1);  // only one backslash is dropped
  EXPECT_EQ(DirCmp("abc", "abd"), -1);
  EXPECT_EQ(DirCmp("abd", "abc"), 1);
  EXPECT_EQ(DirCmp("d\\\x95\\", "d\\\x95\\\\"), 0);
  EXPECT_EQ(DirCmp("d\\\x95\\\\", "d\\\x95\\"), 0);
  EXPECT_NE(DirCmp("d\\\x95\\", "d\\\x95"), 0);
}

struct FileEntry {
  const char* path;
  long size;
};

// Fewer levels first; the 0x5C of 0x95 0x5C does not add one.
TEST(CompFile, QsortListsShallowerPathsFirst) {
  FileEntry entries[] = {{"b\\c\\d", 1}, {"\x81\x40\\a", 2}, {"z", 3}, {"b\\c", 4},
                         {"\xB1\\a", 5}, {"a\\b", 6},        {"Y", 7}, {"\x95\\x", 8},
                         {"A\\x", 9},    {"\\", 10}};
  std::vector<FileEntry*> list;
  for (FileEntry& e : entries) list.push_back(&e);
  std::qsort(list.data(), list.size(), sizeof list[0], comp_file);
  std::vector<std::string> sorted;
  for (const FileEntry* e : list) sorted.push_back(e->path);
  const std::vector<std::string> want = {"Y",    "z",    "\x95\\x", "\\",          "a\\b",
                                         "A\\x", "b\\c", "\xB1\\a", "\x81\x40\\a", "b\\c\\d"};
  EXPECT_EQ(sorted, want);
  FileEntry a{"A\\x", 0}, b{"a\\X", 0}, z{"z", 0}, bc{"b\\c", 0};
  FileEntry *pa = &a, *pb = &b, *pz = &z, *pbc = &bc;
  EXPECT_EQ(comp_file(&pa, &pb), 0);
  EXPECT_EQ(comp_file(&pz, &pbc), -1);
  EXPECT_EQ(comp_file(&pbc, &pz), 1);
}

// After katakana a letter is a character of its own; after any other high
// byte it is that character's second byte and stays as it is.
TEST(CaseFolding, TwoByteCharactersStayUnchanged) {
  char up[] = "az\x82\x61g\xB1h\x80i\xA0j\xFDk\xE0l";
  EXPECT_EQ(to_upper(up), 0);
  EXPECT_STREQ(up, "AZ\x82\x61G\xB1H\x80i\xA0j\xFDk\xE0l");
  char low[] = "AZ\x82\x41G\xDFH\x9FI";
  EXPECT_EQ(to_lower(low), 0);
  EXPECT_STREQ(low, "az\x82\x41g\xDFh\x9FI");
  char tail[] = "a\x82";  // lead byte before the NUL
  to_upper(tail);
  EXPECT_STREQ(tail, "A\x82");
  char other[] = "@[`{~";
  to_upper(other);
  EXPECT_STREQ(other, "@[`{~");
  to_lower(other);
  EXPECT_STREQ(other, "@[`{~");
}

TEST(Strcasecmp, DifferenceOfLowerCasedBytes) {
  EXPECT_EQ(strcasecmp("a_", "aB"), 0x5F - 0x62);
  EXPECT_EQ(strcasecmp("ABC", "abc"), 0);
  EXPECT_EQ(strcasecmp("abc", "ab"), 'c');
  EXPECT_EQ(strcasecmp("", "\xFF"), -255);
  EXPECT_EQ(strcasecmp("\xE0", "A"), 0xE0 - 0x61);
  EXPECT_EQ(strcasecmp("\x82\x41", "\x82\x61"), 0x41 - 0x61);  // second bytes stay
}

TEST(Strcasecmp, OnlyTheFirst1023BytesCount) {
  std::string a(1023, 'A'), b(1023, 'a');
  EXPECT_EQ(strcasecmp((a + "x").c_str(), (b + "yyy").c_str()), 0);
  std::string c = b;
  c[1022] = 'b';
  EXPECT_EQ(strcasecmp(a.c_str(), c.c_str()), 'a' - 'b');
  // The caller's strings are left as they were.
  EXPECT_EQ(a, std::string(1023, 'A'));
}

// Random strings mixing every class: StrCmp is a total order (a sort by it
// leaves every pair in order), antisymmetric, and equal exactly when the
// lower-cased strings are equal.
TEST(StrCmp, RandomStringsFormATotalOrder) {
  const unsigned char alphabet[] = {'a',  'A',  'z',  '_',  '\\', '[',  0x40, 0x5C,
                                    0xB1, 0xDF, 0x81, 0x95, 0x80, 0xA0, 0xE0, 0xFD};
  std::mt19937 rng(7);
  std::vector<std::string> strings;
  for (int i = 0; i < 300; i++) {
    std::string s;
    const int len = static_cast<int>(rng() % 5);
    for (int k = 0; k < len; k++) s += static_cast<char>(alphabet[rng() % sizeof alphabet]);
    strings.push_back(s);
  }
  for (const std::string& a : strings)
    for (const std::string& b : strings) {
      const int ab = StrCmp(a.c_str(), b.c_str());
      ASSERT_EQ(ab, -StrCmp(b.c_str(), a.c_str()));
      ASSERT_EQ(ab == 0, strcasecmp(a.c_str(), b.c_str()) == 0);
    }
  std::vector<const char*> order;
  for (const std::string& s : strings) order.push_back(s.c_str());
  std::qsort(order.data(), order.size(), sizeof order[0], [](const void* x, const void* y) {
    return StrCmp(*static_cast<const char* const*>(x), *static_cast<const char* const*>(y));
  });
  for (size_t i = 0; i < order.size(); i++)
    for (size_t j = i + 1; j < order.size(); j++)
      ASSERT_LE(sign(StrCmp(order[i], order[j])), 0) << i << " " << j;
}

}  // namespace
}  // namespace kawase
