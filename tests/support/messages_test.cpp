// Message output: the formatter, the streams written to, the message log.
#include "support/messages.h"

#include <gtest/gtest.h>

#include <climits>

#include "testutil/fakes.h"
#include "testutil/memstream.h"
#include "testutil/tempdir.h"

namespace kawase {

std::string edit(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string text = err_edit(fmt, args);
  va_end(args);
  return text;
}

// Five conversions without flags or widths: any other byte after "%" is
// echoed with it and takes no argument. The messages fuzz target checks
// the rest of the rules on formats of strings.
TEST(ErrEdit, Formats) {
  const std::string s1021(1021, 'w'), n1023(1023, 'n');
  const std::string rows[][2] = {
      {edit("%x|%x|%f", 255, -1, 1.5), "ff|ffffffff|1.500000"},
      {edit("%c%c|%d", 65, 0x142, INT_MIN), "AB|-2147483648"},
      {edit("100%% %5d|%ld %d|%q%s", 7, "x"), "100%% %5d|%ld 7|%qx"},
      {edit("a\\%d\\\\b%d\\n|%d end\\", 5, 1), "a%d\\b5n|1 end\\"},
      {edit("ab%cd", 0), "ab"},
      {edit("abc%s|dropped", s1021.c_str()), "abc" + s1021},
      {edit(("%d" + std::string(1998, 'f')).c_str(), 42), "42" + std::string(1022, 'f')},
      {edit((n1023 + "%d").c_str(), INT_MIN), n1023 + "-2147483648"},
  };
  for (const auto& row : rows) EXPECT_EQ(row[0], row[1]);
  EXPECT_LT(edit((n1023 + "%f").c_str(), 1e308).size(), 1280u);
}

// Only errmsg1 writes to a held stream, only errmsg sets the flag. A format
// without "%" (a second byte of a two-byte character is none) goes untouched.
TEST(Errmsg, Destinations) {
  test::CaptureStd out(kStdout), err(kStderr);
  test::MemFile held;
  Stream* h = test::openMem(&held, "w", 0);
  errmsg("a \\ b\n");
  errmsg("\x81%q\\b\n");
  errmsg("%q\\b\n");
  errfp = h;
  errmsg("two\n");
  EXPECT_EQ(errmsg_output_flg, 1);
  errmsg1("held\n");
  errfp = kErrfpStdout;
  errmsg1("out1\n");
  errmsg("out2\n");
  errfp = nullptr;
  errmsg_output_flg = 0;
  errmsg1("err\n");
  EXPECT_EQ(errmsg_output_flg, 0);
  EXPECT_EQ(err.text() + "|" + out.text() + "|" + held.data,
            "a \\ b\r\n\x81%q\\b\r\n%qb\r\ntwo\r\nerr\r\n|out1\r\nout2\r\n|held\r\n");
  streamClose(h);
}

// The first message opens (truncating) the log, "end" closes it.
TEST(Errmsgf, LogLifeCycle) {
  test::TempDir tmp;
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(tmp.str());
  EXPECT_EQ(errmsgf("x %d", 1), 0);
  EXPECT_EQ(errmsgf("end"), 0);
  EXPECT_FALSE(std::filesystem::exists("message.log"));
  errmsgWrite_flg = 1;
  EXPECT_EQ(errmsgf("first %d", 1), '\n');
  EXPECT_EQ(errmsgf("second"), '\n');
  EXPECT_EQ(errmsgf("end"), 0);
  EXPECT_EQ(test::readFile("message.log"), "first 1\r\nsecond\r\n");
  EXPECT_EQ(errmsgf("end"), -1);
  EXPECT_EQ(errmsgf("again"), '\n');
  EXPECT_EQ(errmsgf("end"), 0);
  EXPECT_EQ(test::readFile("message.log"), "again\r\n");
  errmsgWrite_flg = 0;
  std::filesystem::current_path(cwd);
}

}  // namespace kawase
