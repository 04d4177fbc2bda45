// Message output: the formatter's conversions and limits, the streams each
// operation writes to, and the message log's life cycle.
#include "support/messages.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "testutil/memstream.h"
#include "testutil/tempdir.h"

namespace kawase {
namespace {

using test::CaptureStd;

std::string edit(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string text = err_edit(fmt, args);
  va_end(args);
  return text;
}

TEST(ErrEdit, Conversions) {
  EXPECT_EQ(edit("%x", 255), "ff");
  EXPECT_EQ(edit("%x", -1), "ffffffff");
  EXPECT_EQ(edit("%f", 1.5), "1.500000");
  EXPECT_EQ(edit("%c", 65), "A");
  EXPECT_EQ(edit("%c", 0x141), "A");  // low byte only
  EXPECT_EQ(edit("%d", INT_MIN), "-2147483648");
  EXPECT_EQ(edit("%s: not found\n", "in.txt"), "in.txt: not found\n");
  EXPECT_EQ(edit("%c drive: no free disk space\n", 'D'), "D drive: no free disk space\n");
}

TEST(ErrEdit, EchoedPairsTakeNoArgument) {
  EXPECT_EQ(edit("100%%"), "100%%");
  EXPECT_EQ(edit("%5d|%s", "x"), "%5d|x");
  EXPECT_EQ(edit("%ld %d", 7), "%ld 7");
  EXPECT_EQ(edit("%q%d%z%s", 1, "two"), "%q1%ztwo");
}

TEST(ErrEdit, BackslashEscapes) {
  EXPECT_EQ(edit("a\\%d\\\\b%d", 5), "a%d\\b5");
  EXPECT_EQ(edit("%d\\n", 1), "1n");
  EXPECT_EQ(edit("%d end\\", 1), "1 end\\");  // a last backslash is kept
  // A lone "%" at the very end stays and nothing beyond it is read.
  EXPECT_EQ(edit("50%"), "50%");
}

TEST(ErrEdit, CharZeroEndsTheWrittenText) {
  EXPECT_EQ(edit("ab%cd", 0), "ab");
  EXPECT_EQ(edit("%s", ""), "");
}

TEST(ErrEdit, TextLimits) {
  std::string s1100(1100, 's');
  std::string cut = edit("abc%s|tail", s1100.c_str());
  EXPECT_EQ(cut, "abc" + std::string(765, 's') + "|tail");

  std::string s1021(1021, 'w');
  EXPECT_EQ(edit("abc%s|dropped", s1021.c_str()), "abc" + s1021);

  std::string fmt2000 = "%d" + std::string(1998, 'f');
  std::string text = edit(fmt2000.c_str(), 42);
  EXPECT_EQ(text.size(), 1024u);
  EXPECT_EQ(text.substr(0, 4), "42ff");

  // A step begun below the limit finishes: "%d" can pass 1024 by its width.
  std::string near = std::string(1023, 'n') + "%d";
  EXPECT_EQ(edit(near.c_str(), INT_MIN), std::string(1023, 'n') + "-2147483648");

  // Past 768 bytes, a string that does not fit adds nothing.
  std::string over = std::string(800, 'o') + "%s!";
  EXPECT_EQ(edit(over.c_str(), s1100.c_str()), std::string(800, 'o') + "!");

  // The widest "%f" begun just below the limit stays inside the buffer.
  std::string wide = std::string(1023, 'w') + "%f";
  EXPECT_LT(edit(wide.c_str(), 1e308).size(), 1280u);
}

TEST(Errmsg, GoesToStandardErrorOrOutput) {
  CaptureStd out(kStdout);
  CaptureStd err(kStderr);
  errmsg("%s: not found\n", "a.txt");
  EXPECT_EQ(err.text(), "a.txt: not found\r\n");
  EXPECT_EQ(out.text(), "");
  EXPECT_EQ(errmsg_output_flg, 1);

  err.clear();
  errmsg("plain \\ text\n");  // no "%": written untouched, backslash kept
  errmsg("%d \\ %\n", 3);     // formatted: the backslash is an escape
  EXPECT_EQ(err.text(), "plain \\ text\r\n3  %\r\n");

  // A "%" that is the second byte of a two-byte character is not a format.
  err.clear();
  errmsg("\x81%\\d\n");
  EXPECT_EQ(err.text(), "\x81%\\d\r\n");

  err.clear();
  errfp = kErrfpStdout;
  errmsg("%d\n", 7);
  errfp = nullptr;
  EXPECT_EQ(out.text(), "7\r\n");
  EXPECT_EQ(err.text(), "");
}

TEST(Errmsg, OnlyErrmsg1UsesAHeldStream) {
  test::MemFile held;
  Stream* s = streamOpenOps(&test::memOps, &held, "w", 0);
  CaptureStd err(kStderr);
  errfp = s;
  errmsg_output_flg = 0;
  errmsg1("one %d\n", 1);
  errmsg("two\n");
  errfp = nullptr;
  errmsg1("three\n");
  EXPECT_EQ(held.data, "one 1\r\n");
  EXPECT_EQ(err.text(), "two\r\nthree\r\n");
  streamClose(s);
}

class MessageLog : public ::testing::Test {
 protected:
  void SetUp() override {
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(tmp_.str());
  }
  void TearDown() override {
    errmsgWrite_flg = 1;
    errmsgf("end");
    errmsgWrite_flg = 0;
    std::filesystem::current_path(old_cwd_);
  }
  static std::string log() {
    std::ifstream in("message.log", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  test::TempDir tmp_;
  std::filesystem::path old_cwd_;
};

TEST_F(MessageLog, OffByDefault) {
  EXPECT_EQ(errmsgf("x %d", 1), 0);
  EXPECT_EQ(errmsgf("end"), 0);
  EXPECT_FALSE(std::filesystem::exists("message.log"));
}

TEST_F(MessageLog, OpenAppendEndReopen) {
  errmsgWrite_flg = 1;
  EXPECT_EQ(errmsgf("first %d", 1), '\n');
  EXPECT_EQ(errmsgf("second"), '\n');
  EXPECT_EQ(errmsgf("end"), 0);
  EXPECT_EQ(log(), "first 1\r\nsecond\r\n");
  EXPECT_EQ(errmsgf("end"), -1);  // nothing open
  EXPECT_EQ(errmsgf("again"), '\n');
  EXPECT_EQ(errmsgf("end"), 0);
  EXPECT_EQ(log(), "again\r\n");  // a new log truncates the old one
}

TEST_F(MessageLog, UnopenableLogIsReported) {
  std::filesystem::create_directory("message.log");  // a directory in its place
  errmsgWrite_flg = 1;
  EXPECT_EQ(errmsgf("lost"), -1);
  EXPECT_EQ(errmsgf("end"), -1);
}

}  // namespace
}  // namespace kawase
