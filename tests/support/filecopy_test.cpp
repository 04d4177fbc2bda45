// File copy over real files, and over memory streams for the failures.
#include "support/filecopy.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include "platform/files.h"
#include "support/memory.h"
#include "testutil/fakes.h"
#include "testutil/memstream.h"
#include "testutil/tempdir.h"

namespace kawase {

class FileCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 200000; i++) data += static_cast<char>(i * 37);  // CR, LF, Ctrl-Z, NUL
  }
  void TearDown() override {
    // A refused allocation has nothing to release.
    EXPECT_EQ(heap.releases, heap.allocations - (heap.fail_allocate ? 1 : 0));
    EXPECT_EQ(err.text(), messages);
  }
  std::string path(const char* name) const { return tmp.file(name); }
  int copy(const std::string& src, const std::string& dst, int mode) {
    return copyFile(src.c_str(), dst.c_str(), mode);
  }
  test::TempDir tmp;
  test::FakeHeap heap;
  test::FakeVolume volume;
  test::CaptureStd err{kStderr};
  std::string data, messages;  // messages: what must be left on standard error
};

// In blocks of the allocation unit, or of 1,024 bytes; a full volume fails
// the copy and keeps what was copied.
TEST_F(FileCopy, RealFiles) {
  const std::string src = path("src"), dst = path("dst");
  test::writeFile(src, data);
  const std::tuple<uint32_t, int, uint64_t, int, size_t> blocks[] = {{8, 1, 0, 0, 4096},
                                                                     {8, 1, 1 << 30, 1, 4096},
                                                                     {7, 1, 1 << 30, 1, 7 * 512},
                                                                     {8, 0, 1 << 30, 1, 1024}};
  for (auto [sectors, known, free_bytes, want, transfer] : blocks) {
    std::tie(volume.sectors, volume.basic_ok, volume.free_bytes) =
        std::tie(sectors, known, free_bytes);
    EXPECT_EQ(copy(src, dst, 0), want);
    EXPECT_TRUE(test::readFile(dst) == data);
    EXPECT_EQ(heap.last_size, transfer);
  }
  // A temporary directory on Windows starts with a drive letter.
  messages = dst[1] == ':' ? std::string(1, dst[0]) + " drive: no free disk space\r\n"
                           : std::string("no free disk space\r\n");
  messages += dst + ": writing error\r\n";

  // Mode 1 never replaces, not even a dangling link; other modes do. A missing
  // source empties the destination. Nothing is copied onto its source.
  const std::string dir = tmp.str();
  test::writeFile(src, "new\n");
#ifndef _WIN32
  std::filesystem::create_symlink(path("target"), path("dangling"));
  std::filesystem::create_symlink(src, path("alias"));
#endif
  const std::tuple<std::string, std::string, int, const char*, const char*, int> rows[] = {
      {src, dst, 1, "old\r\n", "old\r\n", 0},
      {src, dst, 0, "old", "new\n", 1},
      {src, dst, 2, "old", "new\n", 1},
      {src, path("e"), 1, nullptr, "new\n", 1},
      {path("missing"), dst, 0, "was", "", 0},
      {path("missing"), path("f"), 0, nullptr, "", 0},
      {src, src, 0, nullptr, "new\n", 0},
      {src, dir + "/./../" + std::filesystem::path(dir).filename().string() + "/src", 0, nullptr,
       "new\n", 0},
#ifdef _WIN32
      {src, path("SRC"), 0, nullptr, "new\n", 0},
#else
      {src, path("dangling"), 1, nullptr, "", 0},
      {src, path("alias"), 0, nullptr, "new\n", 0},
#endif
      {src, dir, 0, nullptr, "", 0},
  };
  for (const auto& [from, to, mode, before, after, want] : rows) {
    if (before != nullptr) test::writeFile(to, before);
    EXPECT_EQ(copy(from, to, mode), want) << to << " " << mode;
    EXPECT_EQ(test::readFile(to), after) << to;
  }
  EXPECT_TRUE(pathExists(dst.c_str()) && pathExists(path("f").c_str()));
}

// Failed writes (at a flush, or unbuffered), a failed close, no buffer, a
// failed read: each reported once, both streams closed once, what was
// written left in place.
TEST_F(FileCopy, Failures) {
  const std::tuple<long, long, long, int, bool, uint64_t, const char*> rows[] = {
      {-1, 5000, 1 << 20, 1, false, 1, "D:o: writing error\r\n"},
      {-1, 5000, 1000, 0, false, 1, "D:o: writing error\r\n"},
      {-1, -1, 1 << 20, 1, true, 0, "D:o: writing error\r\n"},
      {6000, -1, 1 << 20, 1, false, 1, "S:i: reading error\r\n"},
      {-1, -1, 1 << 20, 1, false, 1, "\r\ncannot get the memory of 4 K bytes\r\n"},
  };
  for (auto [in_fail_at, fail_at, chunk, buffered, fail_close, free_bytes, message] : rows) {
    test::MemFile in, out;
    in.data = data;
    in.fail_at = in_fail_at;
    std::tie(out.fail_at, out.chunk, out.fail_close) = std::tie(fail_at, chunk, fail_close);
    volume.free_bytes = free_bytes;
    heap.fail_allocate = message[0] == '\r';
    terminate_size = heap.fail_allocate ? 1 : INT_MAX;
    EXPECT_EQ(
        copyStream(test::openMem(&in, "rb"), test::openMem(&out, "wb", buffered), "S:i", "D:o"), 0);
    messages += message;
    EXPECT_TRUE(data.compare(0, out.data.size(), out.data) == 0);
    if (in_fail_at > 0) {
      EXPECT_GE(out.data.size(), 4096u);
    }
    EXPECT_EQ(in.closes + out.closes, 2);
  }
  terminate_size = INT_MAX;
}

}  // namespace kawase
