// Tab expansion to tab stops, its 4,096-column limit, and trailing blanks.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "platform/textstream.h"
#include "strutil/strutil.h"
#include "testutil/fakes.h"

namespace kawase {
namespace {

template <typename... T>
using Rows = std::vector<std::tuple<T...>>;

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

}  // namespace
}  // namespace kawase
