// Tab expansion to tab stops, its 4,096-column limit, and trailing blanks.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "platform/textstream.h"
#include "strutil/strutil.h"

namespace kawase {
namespace {

// Expands and checks that chk_exptab measured the same length.
std::string expand(int tabw, const std::string& line) {
  const char* out = exp_tab(tabw, line.c_str());
  EXPECT_EQ(chk_exptab(tabw, line.c_str()), static_cast<int>(std::strlen(out)) + 1);
  return out;
}

std::string spaces(size_t n) {
  return std::string(n, ' ');
}

// Tab stops, two-byte characters and widths below 1 over long lines are
// left to the random test below; these are the short, readable cases.
TEST(ExpTab, TabsAdvanceToTheNextStop) {
  EXPECT_EQ(expand(8, "\t"), spaces(8));
  EXPECT_EQ(expand(8, "abc\t"), "abc" + spaces(5));
  EXPECT_EQ(expand(8, "abcdefgh\tx"), "abcdefgh" + spaces(8) + "x");
  EXPECT_EQ(expand(4, "a\tb\t\tc"), "a   b" + spaces(7) + "c");
  EXPECT_EQ(expand(8, ""), "");
  EXPECT_EQ(expand(8, "\x82\xA0x\t|"), "\x82\xA0x" + spaces(5) + "|");
  for (int tabw : {1, 0, -1, INT_MIN}) EXPECT_EQ(expand(tabw, "a\t\tb"), "a  b") << tabw;
  // The result buffer is reused by the next call.
  const char* first = exp_tab(8, "first");
  EXPECT_EQ(exp_tab(8, "2nd"), first);
  EXPECT_STREQ(first, "2nd");
}

TEST(ChkExptab, LimitOf4096Columns) {
  EXPECT_EQ(chk_exptab(8, std::string(4095, 'x').c_str()), 4096);
  EXPECT_EQ(chk_exptab(8, std::string(4096, 'x').c_str()), -1);
  // A tab ending exactly at column 4,096 is too long; one column less fits.
  EXPECT_EQ(chk_exptab(8, (std::string(4088, 'x') + "\t").c_str()), -1);
  EXPECT_EQ(chk_exptab(8, (std::string(4087, 'x') + "\t").c_str()), 4089);
  EXPECT_EQ(chk_exptab(5, (std::string(4090, 'x') + "\t").c_str()), 4096);
  EXPECT_EQ(chk_exptab(8, (std::string(512, '\t')).c_str()), -1);
  EXPECT_EQ(chk_exptab(8, (std::string(511, '\t') + "1234567").c_str()), 4096);
  // A huge width reaches the limit without overflowing the column count.
  EXPECT_EQ(chk_exptab(INT_MAX, "a\t"), -1);
  EXPECT_EQ(chk_exptab(4095, "\t"), 4096);
  EXPECT_EQ(chk_exptab(4096, "\t"), -1);
  // The longest lines come back whole.
  EXPECT_EQ(expand(8, std::string(4095, 'x')), std::string(4095, 'x'));
  EXPECT_EQ(expand(5, std::string(4090, 'y') + "\t"), std::string(4090, 'y') + spaces(5));
}

// Runs exp_tab in a child process whose standard output goes to a binary
// file, expects it to end with status 1, and returns what it wrote there
// (Exit writes out the buffered text before the process ends).
void expandToFile(const std::string& path, int tabw, const std::string& line) {
  replaceStdStream(kStdout, streamOpen(path.c_str(), "wb"));
  exp_tab(tabw, line.c_str());
  Exit(0);  // not reached when the line is too long
}

std::string tooLongOutput(int tabw, const std::string& line) {
  const std::string path = ::testing::TempDir() + "kawase_exptab_" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name();
  EXPECT_EXIT(expandToFile(path, tabw, line), ::testing::ExitedWithCode(1), "");
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  in.close();
  std::remove(path.c_str());
  return text.str();
}

std::string message(const std::string& field) {
  return "Error: " + field + " ... too long line\n";
}

// The message holds the first 256 bytes, a short line padded on the left.
TEST(ExpTabTooLong, PrintsTheLineAndExits1) {
  std::string line;
  for (int i = 0; i < 4096; i++) line += static_cast<char>('a' + i % 26);
  EXPECT_EQ(tooLongOutput(8, line), message(line.substr(0, 256)));
  EXPECT_EQ(tooLongOutput(5000, "ab\t"), message(spaces(253) + "ab\t"));
  EXPECT_EQ(tooLongOutput(8, std::string(4088, 'x') + "\t"), message(std::string(256, 'x')));
}

// Random lines around the limit, with tabs, two-byte characters and widths
// from below 1 to large: wherever chk_exptab returns 1 to 4,096, exp_tab
// gives a line of that length minus 1 with every byte in order and every
// tab filled with spaces up to the next stop. A few of the lines it rejects
// are run through exp_tab to see it end the process.
TEST(ExpTab, AgreesWithChkExptabOnRandomLines) {
  const char alphabet[] = "ab \x82\xA0\xB1\\";
  const int widths[] = {-3, 0, 1, 2, 3, 7, 8, 16, 100, 3000};
  std::mt19937 rng(1234);
  int fitted = 0, rejected = 0;
  for (int round = 0; round < 300; round++) {
    const int tabw = widths[rng() % (sizeof widths / sizeof widths[0])];
    const int length = 3700 + static_cast<int>(rng() % 500);
    std::string line;
    for (int i = 0; i < length; i++)
      line += rng() % 40 == 0 ? '\t' : alphabet[rng() % (sizeof alphabet - 1)];
    SCOPED_TRACE(testing::Message() << "round " << round << " width " << tabw);

    const int need = chk_exptab(tabw, line.c_str());
    if (need == -1) {
      if (++rejected <= 2) {
        EXPECT_EQ(tooLongOutput(tabw, line), message(line.substr(0, 256)));
      }
      continue;
    }
    ASSERT_GE(need, 1);
    ASSERT_LE(need, 4096);
    fitted++;
    const std::string out = exp_tab(tabw, line.c_str());
    ASSERT_EQ(static_cast<int>(out.size()), need - 1);
    const size_t stop = static_cast<size_t>(tabw < 1 ? 1 : tabw);
    std::string want;
    for (char c : line) want += c == '\t' ? spaces(stop - want.size() % stop) : std::string(1, c);
    ASSERT_EQ(out, want);
  }
  EXPECT_GT(fitted, 20);
  EXPECT_GT(rejected, 20);
}

// The newline is no blank.
TEST(CutBackSpace, RemovesTrailingSpacesAndTabs) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"abc  \t \t", "abc"}, {" \t ", ""},         {"", ""},
               {"abc \n", "abc \n"},  {"  a b  ", "  a b"}, {"\x82\xA0 \t", "\x82\xA0"},
               {"abc", "abc"}};
  for (const auto& c : cases) {
    char buf[16];
    std::strcpy(buf, c.in);
    EXPECT_EQ(cutBackSpace(buf), 0);
    EXPECT_STREQ(buf, c.out) << testing::PrintToString(c.in);
  }
}

}  // namespace
}  // namespace kawase
