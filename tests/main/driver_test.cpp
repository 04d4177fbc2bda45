// The driver under injected failures: writes that fail at the first byte,
// in the middle, at the final flush and at the close; a full or unknown
// volume; an input that fails part-way; an overwrite question that cannot
// be answered; an output that cannot be opened. Each run must end with the
// one exact message and status 1, and keep what the user had.
#include "main/driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/textstream.h"
#include "platform/volume.h"
#include "testutil/memstream.h"
#include "testutil/tempdir.h"

namespace kawase {
namespace {

#ifndef _WIN32

// A real file behind a stream whose reads or writes fail once `fail_at`
// bytes have passed, or whose close fails.
struct Faulty {
  std::string name;
  long fail_at = -1;
  bool fail_close = false;
  bool refuse = false;  // the open itself fails
  FILE* file = nullptr;
  long done = 0;
} faulty;

long faultyMove(void* h, unsigned char* buf, long n, bool writing) {
  auto* f = static_cast<Faulty*>(h);
  if (f->fail_at >= 0 && f->done >= f->fail_at) return -1;
  if (f->fail_at >= 0 && f->done + n > f->fail_at) n = f->fail_at - f->done;
  size_t moved = writing ? fwrite(buf, 1, static_cast<size_t>(n), f->file)
                         : fread(buf, 1, static_cast<size_t>(n), f->file);
  f->done += static_cast<long>(moved);
  return static_cast<long>(moved);
}
long faultyRead(void* h, unsigned char* buf, long n) {
  return faultyMove(h, buf, n, false);
}
long faultyWrite(void* h, const unsigned char* buf, long n) {
  return faultyMove(h, const_cast<unsigned char*>(buf), n, true);
}
int faultyClose(void* h) {
  auto* f = static_cast<Faulty*>(h);
  fclose(f->file);
  return f->fail_close ? -1 : 0;
}
const StreamOps faultyOps = {faultyRead, faultyWrite, faultyClose};

Stream* faultyOpener(const char* name, const char* mode) {
  if (faulty.name != name) return streamOpenFile(name, mode);
  if (faulty.refuse) return nullptr;
  faulty.file = fopen(name, mode[0] == 'w' ? "wb" : "rb");
  if (faulty.file == nullptr) return nullptr;
  return streamOpenOps(&faultyOps, &faulty, mode, 1);
}

// A volume whose free space is what the test says.
int volumeFree = 1;  // 1: some room, 0: none, -1: cannot be queried
int fakeBasic(const char*, const char*, uint32_t*, uint32_t*, uint32_t*, uint32_t*) {
  return 0;
}
int fakeFree(const char*, const char*, uint64_t* bytes) {
  *bytes = volumeFree > 0 ? 1u << 20 : 0;
  return volumeFree < 0 ? 0 : 1;
}
uint32_t fakeAttributes(const char*) {
  return kInvalidAttributes;
}
const VolumeOps fakeVolume = {fakeBasic, fakeFree, fakeAttributes};

test::MemFile stdinFile;

// Runs the driver in the death-test child with the fakes in place.
[[noreturn]] void runKawase(std::vector<std::string> args) {
  setStreamOpener(faultyOpener);
  setVolumeOps(&fakeVolume);
  replaceStdStream(kStdin, streamOpenOps(&test::memOps, &stdinFile, "r", 1));
  args.insert(args.begin(), "kawase");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  kawaseMain(static_cast<int>(args.size()), argv.data());
}

class DriverFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    faulty = Faulty();
    volumeFree = 1;
    stdinFile = test::MemFile();
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(tmp_.str());
    // 3,000 lines of 100 bytes: several write blocks, converted unchanged
    // but for CR LF.
    for (int i = 0; i < 3000; i++)
      input_ += std::string(99, static_cast<char>('a' + i % 26)) + "\n";
    for (char c : input_) converted_ += c == '\n' ? std::string("\r\n") : std::string(1, c);
    write("in.txt", input_);
  }
  void TearDown() override { std::filesystem::current_path(old_cwd_); }

  static void write(const char* name, const std::string& data) {
    std::ofstream(name, std::ios::binary) << data;
  }
  static std::string read(const char* name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // Each run starts without an output file, unless the test made one.
  void expectFailure(const std::vector<std::string>& args, const std::string& err,
                     bool keep_output = false) {
    if (!keep_output) std::filesystem::remove("out.txt");
    EXPECT_EXIT(runKawase(args), ::testing::ExitedWithCode(1),
                ::testing::Matcher<const std::string&>(err));
  }

  test::TempDir tmp_;
  std::filesystem::path old_cwd_;
  std::string input_, converted_;
};

TEST_F(DriverFailures, WritesThatFail) {
  const std::vector<std::string> args = {"in.txt", "-o", "out.txt"};
  const std::string err = "out.txt: writing error\r\n";
  const long size = static_cast<long>(converted_.size());
  // At the first byte, in the middle of a block, at the final flush: the
  // file keeps exactly the bytes that got through.
  for (long at : {0L, 100000L, size - 1}) {
    faulty.name = "out.txt";
    faulty.fail_at = at;
    expectFailure(args, err);
    EXPECT_TRUE(read("out.txt") == converted_.substr(0, static_cast<size_t>(at))) << at;
  }
  // At the close, after every byte was written.
  faulty.fail_at = -1;
  faulty.fail_close = true;
  expectFailure(args, err);
  EXPECT_TRUE(read("out.txt") == converted_);

  // Standard output that fails part-way.
  faulty.name.clear();
  EXPECT_EXIT(
      {
        test::MemFile* sink = new test::MemFile;  // lives until the exit
        sink->fail_at = 70000;
        replaceStdStream(kStdout, streamOpenOps(&test::memOps, sink, "w", 1));
        runKawase({"in.txt"});
      },
      ::testing::ExitedWithCode(1),
      ::testing::Matcher<const std::string&>(std::string("stdout: writing error\r\n")));
}

TEST_F(DriverFailures, FullOrUnknownVolumeAtTheEnd) {
  const std::string err = "no free disk space\r\nout.txt: writing error\r\n";
  for (int state : {0, -1}) {
    volumeFree = state;
    expectFailure({"in.txt", "-o", "out.txt"}, err);
    EXPECT_TRUE(read("out.txt") == converted_) << state;
  }
  volumeFree = 0;
  expectFailure({"-v", "in.txt", "-o", "D:out.txt"},
                "D drive: no free disk space\r\nD:out.txt: writing error\r\n");
}

TEST_F(DriverFailures, InputThatFailsPartWay) {
  faulty.name = "in.txt";
  faulty.fail_at = 150000;
  expectFailure({"in.txt", "-o", "out.txt"}, "in.txt: reading error\r\n");
  // Everything read before the failure was converted and kept.
  std::string got = read("out.txt");
  std::string want;
  for (char c : input_.substr(0, 150000))
    want += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(got.size(), want.size());
  EXPECT_TRUE(got == want);
}

TEST_F(DriverFailures, ExistingOutputIsOnlyReplacedAfterYes) {
  const std::string question = "out.txt: file exists, overwrite? (y/n) ";
  write("out.txt", "precious\n");

  // Standard input that cannot be read answers nothing: a refusal.
  stdinFile.fail_at = 0;
  expectFailure({"in.txt", "-o", "out.txt"}, question, true);
  EXPECT_EQ(read("out.txt"), "precious\n");

  // A yes, but the file cannot be opened for writing (read-only).
  stdinFile = test::MemFile();
  stdinFile.data = "y\n";
  faulty.name = "out.txt";
  faulty.refuse = true;
  expectFailure({"in.txt", "-o", "out.txt"}, question + "out.txt: cannot create\r\n", true);
  EXPECT_EQ(read("out.txt"), "precious\n");
  EXPECT_TRUE(read("in.txt") == input_);
}

#else

TEST(DriverFailures, NotOnWindows) {
  GTEST_SKIP() << "death-test children are new processes here; the seams are tested on POSIX";
}

#endif

}  // namespace
}  // namespace kawase
