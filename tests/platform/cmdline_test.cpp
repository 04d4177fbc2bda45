// Command-line splitting, and on Windows the program's own arguments.
#include "platform/cmdline.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace kawase {

using Args = std::vector<std::string>;

// Lead bytes of code page 932.
int cp932Lead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Through buffers of exactly the promised sizes; counting must agree.
Args split(const std::string& line, LeadByteTest isLead) {
  std::vector<char> exact(line.c_str(), line.c_str() + line.size() + 1), text(exact.size());
  EXPECT_EQ(argsTextSize(exact.data()), exact.size());
  const int count = countArgs(exact.data(), isLead);
  std::vector<char*> argv(static_cast<size_t>(count) + 1, text.data());
  EXPECT_EQ(splitArgs(exact.data(), isLead, text.data(), text.size(), argv.data(), count + 1),
            count);
  EXPECT_EQ(argv.back(), nullptr);
  return Args(argv.begin(), argv.end() - 1);
}

// A lead byte keeps the next byte, whatever it looks like, unless it is
// the last. Last, bytes read in a single-byte code page.
TEST(SplitArgs, Rules) {
  const std::pair<const char*, Args> rows[] = {
      {"", {}},
      {" \t  \t", {}},
      {"  a\tb \t c  a\nb\rc", {"a", "b", "c", "a\nb\rc"}},
      {"\"my file.txt\" a\"b c\"d \"a\tb\"", {"my file.txt", "ab cd", "a\tb"}},
      {"\"a\"\"b\" x \"a b  ", {"ab", "x", "a b  "}},
      {"\"\" a \"\" \"\"\"\" \"", {"", "a", "", "", ""}},
      {"*.txt ? \"*\" a?b*", {"*.txt", "?", "*", "a?b*"}},
      {"a\\\"b \\\"a b\\\"", {"a\"b", "\"a", "b\""}},
      {"\"a \\\" b\" c a\\\\\"b c", {"a \" b", "c", "a\\\"b", "c"}},
      {"\"C:\\dir\\\" x", {"C:\\dir\" x"}},
      {"C:\\dir\\f \\\\srv\\share\\ \\ \"a\\b\"", {"C:\\dir\\f", "\\\\srv\\share\\", "\\", "a\\b"}},
      {"\x95\\\"a b\"", {"\x95\\a b"}},
      {"\x81\x22 b \"\x81\x22 b\" \x81 b \x81\t",
       {"\x81\x22", "b", "\x81\x22 b", "\x81 b", "\x81\t"}},
      {"\"\x83\\\x95\\\\\x8E\x9A.txt\" -o", {"\x83\\\x95\\\\\x8E\x9A.txt", "-o"}},
      {"\xB1\"x y\" a\x81", {"\xB1x y", "a\x81"}},
      {"x \"\x9F", {"x", "\x9F"}},
  };
  for (const auto& [line, want] : rows) EXPECT_EQ(split(line, cp932Lead), want) << line;
  EXPECT_EQ(split("\x95\\\"a b\"", nullptr), (Args{"\x95\"a", "b"}));
}

// A text buffer too small is refused untouched; pointers go only where
// there is room, the count returned anyway.
TEST(SplitArgs, BufferContract) {
  const char* line = "a bb \"ccc\"";
  char text[11] = "ZZZZZZZZZZ", sentinel = 0;
  char* argv[3] = {&sentinel, &sentinel, &sentinel};
  EXPECT_EQ(splitArgs(line, cp932Lead, text, 10, argv, 3), -1);
  EXPECT_EQ(splitArgs(line, cp932Lead, nullptr, 100, argv, 3), -1);
  EXPECT_STREQ(text, "ZZZZZZZZZZ");
  EXPECT_EQ(splitArgs(line, cp932Lead, text, 11, nullptr, 3), 3);
  EXPECT_EQ(std::string(text, 9), std::string("a\0bb\0ccc\0", 9));
  EXPECT_EQ(splitArgs(line, cp932Lead, text, 11, argv, 2), 3);
  EXPECT_EQ(std::string(argv[1]) + (argv[2] == &sentinel ? "|kept" : ""), "bb|kept");
}

#ifdef _WIN32
// The program's own command line, split again by our rules, agrees with the
// C runtime's (its wildcard expansion off).
TEST(PlatformArgs, OwnCommandLine) {
  int argc = 0;
  char** argv = nullptr;
  ASSERT_EQ(platformArgs(&argc, &argv), 0);
  EXPECT_EQ(argc, __argc);
  EXPECT_EQ(argv[argc], nullptr);
}
#endif

}  // namespace kawase
