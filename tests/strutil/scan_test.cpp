// Character scanning and byte moves; a lead byte before the NUL stands alone.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <tuple>
#include <vector>

#include "strutil/strutil.h"

namespace kawase {
namespace {

template <typename... T>
using Rows = std::vector<std::tuple<T...>>;

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

}  // namespace
}  // namespace kawase
