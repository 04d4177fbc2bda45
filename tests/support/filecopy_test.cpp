// File copy: real files in a temporary directory, /dev/full for a real
// short write, and memory streams and a played volume for the failures a
// real disk will not produce on demand. The heap is watched so that every
// buffer is seen released.
#include "support/filecopy.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/heap.h"
#include "platform/textstream.h"
#include "platform/volume.h"
#include "support/memory.h"
#include "testutil/memstream.h"
#include "testutil/tempdir.h"

namespace kawase {
namespace {

namespace fs = std::filesystem;
using test::CaptureStd;
using test::MemFile;

struct Watch {
  bool fail = false;
  int allocations = 0, releases = 0;
  size_t last_size = 0;
} watch;

void* watchAllocate(size_t n) {
  watch.allocations++;
  watch.last_size = n;
  return watch.fail ? nullptr : std::malloc(n);
}

void* watchResize(void* block, size_t n) {
  return std::realloc(block, n);
}

void watchRelease(void* block) {
  watch.releases++;
  std::free(block);
}

const HeapOps watchOps = {watchAllocate, watchResize, watchRelease};

// A volume with a chosen allocation unit (unknown: the query fails) and
// free space.
struct Volume {
  uint32_t sectors = 8, bytes = 512;
  bool known = true;
  uint64_t free_bytes = uint64_t{1} << 30;
} volume;

int volumeDiskFreeSpace(const char*, const char*, uint32_t* s, uint32_t* b, uint32_t* f,
                        uint32_t* t) {
  *s = volume.sectors;
  *b = volume.bytes;
  *f = *t = 0;
  return volume.known ? 1 : 0;
}

int volumeFreeBytes(const char*, const char*, uint64_t* out) {
  *out = volume.free_bytes;
  return 1;
}

uint32_t volumeAttributes(const char*) {
  return kInvalidAttributes;
}

const VolumeOps volumeOpsPlayed = {volumeDiskFreeSpace, volumeFreeBytes, volumeAttributes};

// Every byte value, with CR, LF, Ctrl-Z and NUL in runs that text mode
// would change.
std::string awkwardBytes(size_t n) {
  std::string data;
  const std::string runs[] = {"\r\n", "\n\r", std::string("\x1a\0\0", 3), "\r\r\n\n"};
  for (size_t i = 0; data.size() < n; i++) {
    data += static_cast<char>(i * 37 % 256);
    if (i % 97 == 0) data += runs[i % 4];
  }
  data.resize(n);
  return data;
}

class FileCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    watch = Watch();
    volume = Volume();
    old_heap_ = setHeapOps(&watchOps);
    old_volume_ = setVolumeOps(&volumeOpsPlayed);
  }
  void TearDown() override {
    setHeapOps(old_heap_);
    setVolumeOps(old_volume_);
    terminate_size = INT_MAX;
  }
  std::string path(const char* name) const { return tmp_.file(name); }
  static void put(const std::string& name, const std::string& data) {
    std::ofstream(name, std::ios::binary) << data;
  }
  static std::string slurp(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static void expectBuffersReleased() { EXPECT_EQ(watch.releases, watch.allocations); }

  test::TempDir tmp_;
  const HeapOps* old_heap_ = nullptr;
  const VolumeOps* old_volume_ = nullptr;
};

// More data than the transfer size and the stream's own buffer, moved in
// blocks of the allocation unit: 4,096 bytes, an odd 7, or 1,024 when the
// volume cannot tell.
TEST_F(FileCopy, CopiesEveryByteInTransferSizedBlocks) {
  CaptureStd err(kStderr);
  const std::string src = path("src.bin"), dst = path("dst.bin"), data = awkwardBytes(200000);
  put(src, data);
  const struct {
    uint32_t sectors, bytes;
    bool known;
    size_t transfer;
  } volumes[] = {{8, 512, true, 4096}, {1, 7, true, 7}, {8, 512, false, 1024}};
  for (const auto& v : volumes) {
    volume.sectors = v.sectors;
    volume.bytes = v.bytes;
    volume.known = v.known;
    EXPECT_EQ(copyFile(src.c_str(), dst.c_str(), 0), 1);
    EXPECT_EQ(slurp(dst), data);
    EXPECT_EQ(watch.last_size, v.transfer);
  }
  EXPECT_EQ(watch.allocations, 3);
  expectBuffersReleased();
  EXPECT_EQ(err.text(), "");
}

// Mode 1 refuses an existing destination, even a dangling link that writing
// would follow and create; any other mode replaces it.
TEST_F(FileCopy, ModeOneNeverReplaces) {
  CaptureStd err(kStderr);
  const std::string src = path("src.txt"), dst = path("dst.txt");
  put(src, "new\n");
  put(dst, "old\r\n");
  EXPECT_EQ(copyFile(src.c_str(), dst.c_str(), 1), 0);
  EXPECT_EQ(slurp(dst), "old\r\n");
#ifndef _WIN32
  const std::string link = path("link.txt"), target = path("target.txt");
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  EXPECT_EQ(copyFile(src.c_str(), link.c_str(), 1), 0);
  EXPECT_FALSE(fs::exists(target));
#endif
  for (int mode : {0, 2}) {
    put(dst, "old");
    EXPECT_EQ(copyFile(src.c_str(), dst.c_str(), mode), 1);
    EXPECT_EQ(slurp(dst), "new\n") << mode;
  }
  EXPECT_EQ(err.text(), "");
}

TEST_F(FileCopy, NeverTruncatesItsOwnSource) {
  const std::string src = path("self.txt");
  put(src, "precious");
  EXPECT_EQ(copyFile(src.c_str(), src.c_str(), 0), 0);
#ifndef _WIN32
  const std::string alias = path("alias.txt");
  ASSERT_EQ(::symlink(src.c_str(), alias.c_str()), 0);
  EXPECT_EQ(copyFile(src.c_str(), alias.c_str(), 0), 0);
#endif
  EXPECT_EQ(slurp(src), "precious");
}

// A missing source leaves the destination behind, created or emptied; an
// unwritable destination fails; neither says a word.
TEST_F(FileCopy, EmptyMissingAndUnwritable) {
  CaptureStd err(kStderr);
  const std::string empty = path("empty"), dst = path("dst"), missing = path("missing");
  put(empty, "");
  EXPECT_EQ(copyFile(empty.c_str(), dst.c_str(), 1), 1);
  EXPECT_TRUE(fs::exists(dst) && fs::file_size(dst) == 0);
  put(dst, "was here");
  EXPECT_EQ(copyFile(missing.c_str(), dst.c_str(), 0), 0);
  EXPECT_TRUE(fs::exists(dst) && fs::file_size(dst) == 0);
  EXPECT_EQ(copyFile(missing.c_str(), path("other").c_str(), 0), 0);
  EXPECT_TRUE(fs::exists(path("other")));
  EXPECT_EQ(copyFile(empty.c_str(), path("no/such/dir").c_str(), 0), 0);
  EXPECT_EQ(copyFile(empty.c_str(), tmp_.str().c_str(), 0), 0);
  EXPECT_EQ(err.text(), "");
  expectBuffersReleased();
}

// The small copy fails in the flush of the close, the large one while the
// stream writes out its full buffer.
TEST_F(FileCopy, ShortWriteToAFullDevice) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  CaptureStd err(kStderr);
  const std::string small = path("small"), large = path("large");
  put(small, awkwardBytes(100));
  put(large, awkwardBytes(200000));
  EXPECT_EQ(copyFile(small.c_str(), "/dev/full", 0), 0);
  EXPECT_EQ(copyFile(large.c_str(), "/dev/full", 0), 0);
  EXPECT_EQ(err.text(), "/dev/full: writing error\r\n/dev/full: writing error\r\n");
  EXPECT_EQ(watch.allocations, 2);
  expectBuffersReleased();
}

TEST_F(FileCopy, FullDiskKeepsThePartialDestination) {
  CaptureStd err(kStderr);
  const std::string src = path("src"), dst = path("dst"), data = awkwardBytes(5000);
  put(src, data);
  volume.free_bytes = 0;
  EXPECT_EQ(copyFile(src.c_str(), dst.c_str(), 0), 0);
  // A temporary directory on Windows starts with a drive letter.
  std::string full = dst[1] == ':' ? std::string(1, dst[0]) + " drive: no free disk space\r\n"
                                   : std::string("no free disk space\r\n");
  EXPECT_EQ(err.text(), full + dst + ": writing error\r\n");
  EXPECT_EQ(slurp(dst), data);
  expectBuffersReleased();
}

// The copy over memory streams, where the tests choose what fails; each
// copy must close both streams once.
class StreamCopy : public FileCopy {
 protected:
  int copy(const char* dst, int buffered = 1) {
    in_.closes = out_.closes = 0;
    in_.read_pos = 0;
    out_.data.clear();
    Stream* in = streamOpenOps(&test::memOps, &in_, "rb", 1);
    Stream* out = streamOpenOps(&test::memOps, &out_, "wb", buffered);
    int copied = copyStream(in, out, "src", dst);
    EXPECT_EQ(in_.closes, 1);
    EXPECT_EQ(out_.closes, 1);
    return copied;
  }
  MemFile in_, out_;
};

// Buffered, a failed write shows when the buffer goes out; unbuffered, at
// the first short write. Either is reported once.
TEST_F(StreamCopy, FailedWritesAreReportedOnce) {
  CaptureStd err(kStderr);
  in_.data = awkwardBytes(200000);
  out_.fail_at = 5000;
  EXPECT_EQ(copy("out.bin"), 0);
  EXPECT_EQ(err.text(), "out.bin: writing error\r\n");
  EXPECT_EQ(out_.data, in_.data.substr(0, 5000));
  err.clear();
  out_.chunk = 1000;
  EXPECT_EQ(copy("out.bin", 0), 0);
  EXPECT_EQ(err.text(), "out.bin: writing error\r\n");
  expectBuffersReleased();
}

// The close's own failure comes before any look at the volume.
TEST_F(StreamCopy, FailedClose) {
  CaptureStd err(kStderr);
  in_.data = "data";
  out_.fail_close = true;
  volume.free_bytes = 0;
  EXPECT_EQ(copy("D:\\out.bin"), 0);
  EXPECT_EQ(err.text(), "D:\\out.bin: writing error\r\n");
  err.clear();
  out_.fail_close = false;
  EXPECT_EQ(copy("D:\\out.bin"), 0);
  EXPECT_EQ(err.text(), "D drive: no free disk space\r\nD:\\out.bin: writing error\r\n");
  EXPECT_EQ(out_.data, "data");
  expectBuffersReleased();
}

TEST_F(StreamCopy, NoBufferClosesBothStreams) {
  CaptureStd err(kStderr);
  in_.data = "data";
  watch.fail = true;
  terminate_size = 1;
  EXPECT_EQ(copy("out.bin"), 0);
  EXPECT_EQ(err.text(), "\r\ncannot get the memory of 4 K bytes\r\n");
  EXPECT_EQ(out_.data, "");
}

}  // namespace
}  // namespace kawase
