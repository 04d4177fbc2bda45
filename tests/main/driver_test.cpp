// The driver in-process with one stream made to fail, a run per row: status
// 1, the row's message, exactly the bytes that got through, and each stream
// the driver opened closed again. Files live in a fresh directory.
#include "main/driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testutil/fakes.h"
#include "testutil/memstream.h"
#include "testutil/tempdir.h"

namespace kawase {
namespace {

const std::string kNone = "(none)";

struct Row {
  std::vector<const char*> args;  // without the program name
  std::string out, err, file;     // standard output and error; out.txt after
  // The stream that lives in memory and fails (a file or "stdout"): from
  // byte fail_at on, or at its close (-1); or none ("").
  std::string failing;
  long fail_at;
  bool full = false;  // the volume has no room left
};

const Row* row;
test::MemFile faulty;
int opens = 0;

Stream* openFaulty(const char* name, const char* mode) {
  if (row->failing != name) return streamOpenFile(name, mode);
  opens++;
  faulty.data = mode[0] == 'r' ? test::readFile(name) : "";
  return streamOpenOps(&test::memOps, &faulty, mode, 1);
}

TEST(Driver, Failures) {
  // 3,000 lines of 100 bytes: several blocks, converted unchanged but for
  // CR LF.
  std::string in, conv;
  for (int i = 0; i < 3000; i++) in += std::string(99, static_cast<char>('a' + i % 26)) + "\n";
  for (char c : in) conv += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const std::vector<const char*> io = {"in.txt", "-o", "out.txt"};
  const std::string failed = "out.txt: writing error\r\n", part = conv.substr(0, 100000);
  const std::string full = "no free disk space\r\n";
  const Row rows[] = {
      {io, "", failed, conv, "out.txt", -1},
      {io, "", full + failed, conv, "", -1, true},
      {io, "", failed, part, "out.txt", 100000},
      {{"in.txt"}, part, "stdout: writing error\r\n", kNone, "stdout", 100000},
      {io, "", "in.txt: reading error\r\n", conv.substr(0, 151500), "in.txt", 150050},
  };
  test::TempDir dir;
  std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.str());
  StreamOpener oldOpener = setStreamOpener(openFaulty);
  test::writeFile("in.txt", in);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.failing + " " + std::to_string(r.fail_at));
    row = &r;
    std::filesystem::remove("out.txt");
    faulty = test::MemFile();
    faulty.fail_at = r.fail_at;
    faulty.fail_close = r.fail_at < 0;
    opens = 0;
    test::FakeVolume volume;
    if (r.full) volume.free_bytes = 0;
    test::CaptureStd out(kStdout, 1), err(kStderr);
    if (r.failing == "stdout") out.file().fail_at = r.fail_at;
    std::vector<const char*> argv = {"kawase"};
    argv.insert(argv.end(), r.args.begin(), r.args.end());
    argv.push_back(nullptr);
    EXPECT_EQ(kawaseMain(static_cast<int>(argv.size() - 1), const_cast<char**>(argv.data())), 1);

    // What the driver opened it closed, and standard output is written out.
    EXPECT_EQ(faulty.closes, opens);
    EXPECT_TRUE(out.text() == r.out);
    EXPECT_EQ(err.text(), r.err);
    std::string file = r.failing == "out.txt"               ? faulty.data
                       : std::filesystem::exists("out.txt") ? test::readFile("out.txt")
                                                            : kNone;
    EXPECT_TRUE(file == r.file);
  }
  setStreamOpener(oldOpener);
  std::filesystem::current_path(cwd);
}

}  // namespace
}  // namespace kawase
