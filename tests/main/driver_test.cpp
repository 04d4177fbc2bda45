// The driver in-process under injected failures, a run per row: status 1,
// the row's messages, and what the user kept (exactly the bytes that got
// through, an existing file untouched). Files live in a fresh directory.
#include "main/driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "testutil/fakes.h"
#include "testutil/memstream.h"
#include "testutil/tempdir.h"

namespace kawase {
namespace {

const std::string kNone = "(none)";

struct Row {
  std::vector<const char*> args;  // without the program name
  std::string out, err, file;     // standard output and error; the output file after
  // The stream that lives in memory and fails (a file, "stdin" or "stdout"):
  // from byte fail_at on, at its close, or at its open.
  std::string failing = "";
  long fail_at = -1;
  bool fail_close = false, refuse = false;
  int volume = 1;                           // 1: room, 0: full, -1: cannot be asked
  std::string answer = "", before = kNone;  // standard input; out.txt before
};

const Row* row;
test::MemFile faulty;
int opens = 0;

Stream* openFaulty(const char* name, const char* mode) {
  if (row->failing != name) return streamOpenFile(name, mode);
  if (row->refuse) return nullptr;
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
  auto upTo = [&conv](long n) { return conv.substr(0, static_cast<size_t>(n)); };
  const std::vector<const char*> io = {"in.txt", "-o", "out.txt"},
                                 drive = {"in.txt", "-o", "D:out.txt"};
  const std::string ask = "out.txt: file exists, overwrite? (y/n) ", old = "old\n";
  const std::string full = "no free disk space\r\n", failed = "out.txt: writing error\r\n";
  std::vector<Row> rows = {
      {io, "", ask, old, "stdin", 0, 0, 0, 1, "", old},
      {io, "", ask + "out.txt: cannot create\r\n", old, "out.txt", -1, 0, 1, 1, "y\n", old},
      {io, "", failed, conv, "out.txt", -1, 1},
      {io, "", full + failed, conv, "", -1, 0, 0, 0},
      {io, "", full + failed, conv, "", -1, 0, 0, -1},
      {drive, "", "D drive: " + full + "D:" + failed, conv, "D:out.txt", -1, 0, 0, 0},
      {io, "", "in.txt: reading error\r\n", upTo(151500), "in.txt", 150000},
  };
  // At the first byte, in the middle and at the last flush.
  for (long at : {0L, 100000L, static_cast<long>(conv.size()) - 1}) {
    rows.push_back({io, "", failed, upTo(at), "out.txt", at});
    rows.push_back({{"in.txt"}, upTo(at), "stdout: writing error\r\n", kNone, "stdout", at});
  }
  test::TempDir dir;
  std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.str());
  StreamOpener oldOpener = setStreamOpener(openFaulty);
  test::writeFile("in.txt", in);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.failing + " " + std::to_string(r.fail_at));
    row = &r;
    std::filesystem::remove("out.txt");
    if (r.before != kNone) test::writeFile("out.txt", r.before);
    faulty = test::MemFile();
    std::tie(faulty.fail_at, faulty.fail_close, opens) = std::tuple(r.fail_at, r.fail_close, 0);
    test::FakeVolume volume;
    if (r.volume == 0) volume.free_bytes = 0;
    volume.ext = r.volume >= 0;
    test::CaptureStd answer(kStdin), out(kStdout, 1), err(kStderr);
    answer.file().data = r.answer;
    if (r.failing == "stdin") answer.file().fail_at = r.fail_at;
    if (r.failing == "stdout") out.file().fail_at = r.fail_at;
    std::vector<const char*> argv = {"kawase"};
    argv.insert(argv.end(), r.args.begin(), r.args.end());
    argv.push_back(nullptr);
    EXPECT_EQ(kawaseMain(static_cast<int>(argv.size() - 1), const_cast<char**>(argv.data())), 1);

    // What the driver opened it closed, and standard output is written out.
    EXPECT_EQ(faulty.closes, opens);
    EXPECT_TRUE(out.text() == r.out);
    EXPECT_EQ(err.text(), r.err);
    const std::string name = r.args.size() == 3 ? r.args[2] : "out.txt";
    std::string file = r.failing == name && !r.refuse  ? faulty.data
                       : std::filesystem::exists(name) ? test::readFile(name)
                                                       : kNone;
    EXPECT_TRUE(file == r.file);
  }
  setStreamOpener(oldOpener);
  std::filesystem::current_path(cwd);
}

}  // namespace
}  // namespace kawase
