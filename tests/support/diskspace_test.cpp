// Disk space and the checked close, through a volume layer the tests play.
#include "support/diskspace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/volume.h"
#include "testutil/memstream.h"

namespace kawase {
namespace {

using test::CaptureStd;

// The volume the fake layer describes.
struct FakeVolume {
  int ext = 1;  // 1 works, 0 fails, -1 absent
  uint64_t free_bytes = 0;
  int basic_ok = 1;
  uint32_t sectors = 8, bytes = 512, free_clusters = 0, total = 1000;
  uint32_t attributes = kInvalidAttributes;
  std::string last_root, last_name;
} fake;

int fakeDiskFreeSpace(const char* root, const char* name, uint32_t* s, uint32_t* b, uint32_t* f,
                      uint32_t* t) {
  fake.last_root = root;
  fake.last_name = name;
  *s = fake.sectors;
  *b = fake.bytes;
  *f = fake.free_clusters;
  *t = fake.total;
  return fake.basic_ok;
}

int fakeFreeBytes(const char* root, const char* name, uint64_t* out) {
  fake.last_root = root;
  fake.last_name = name;
  *out = fake.free_bytes;
  return fake.ext;
}

uint32_t fakeAttributes(const char*) {
  return fake.attributes;
}

const VolumeOps fakeOps = {fakeDiskFreeSpace, fakeFreeBytes, fakeAttributes};

class DiskSpace : public ::testing::Test {
 protected:
  void SetUp() override {
    fake = FakeVolume();
    old_ = setVolumeOps(&fakeOps);
  }
  void TearDown() override { setVolumeOps(old_); }
  const VolumeOps* old_ = nullptr;
};

std::string root(const char* name) {
  char buf[4] = {'#', '#', '#', '#'};
  rootPath(name, buf);
  return std::string(buf);
}

TEST(RootPath, DriveLetterOrCurrentDrive) {
  EXPECT_EQ(root("C:\\dir\\file.txt"), "C:\\");
  EXPECT_EQ(root("d:rel.txt"), "d:\\");
  EXPECT_EQ(root("C:"), "C:\\");
  EXPECT_EQ(root("a"), "\\");
  EXPECT_EQ(root(""), "\\");
  EXPECT_EQ(root("\\\\server\\share\\f"), "\\");
  EXPECT_EQ(root("/tmp/out.txt"), "\\");
  EXPECT_EQ(root("out.txt"), "\\");
}

TEST_F(DiskSpace, FreeSpaceIsClampedAndKeptExactly) {
  fake.free_bytes = 5000000000ull;
  EXPECT_EQ(getFreeSpace("D:\\x"), 2147483647);
  EXPECT_EQ(FreeDiskSpace, 5000000000.0);
  EXPECT_EQ(fake.last_root, "D:\\");
  EXPECT_EQ(fake.last_name, "D:\\x");

  fake.free_bytes = 2147483647ull;
  EXPECT_EQ(getFreeSpace("x"), 2147483647);
  fake.free_bytes = 2147483648ull;
  EXPECT_EQ(getFreeSpace("x"), 2147483647);
  EXPECT_EQ(FreeDiskSpace, 2147483648.0);
  fake.free_bytes = 12345;
  EXPECT_EQ(getFreeSpace("x"), 12345);
}

TEST_F(DiskSpace, FailedQueriesGiveMinusOne) {
  fake.ext = 0;
  EXPECT_EQ(getFreeSpace("Q:\\none"), -1);
  EXPECT_EQ(FreeDiskSpace, -1.0);

  // Without the extended query the basic one answers, without 32-bit wrap.
  fake.ext = -1;
  fake.free_clusters = 4000000000u;
  EXPECT_EQ(getFreeSpace("x"), 2147483647);
  EXPECT_EQ(FreeDiskSpace, 4000000000.0 * 8 * 512);
  fake.basic_ok = 0;
  EXPECT_EQ(getFreeSpace("x"), -1);
  EXPECT_EQ(FreeDiskSpace, -1.0);
}

TEST_F(DiskSpace, ClusterSize) {
  EXPECT_EQ(getClusterSize("x"), 4096);
  fake.basic_ok = 0;
  EXPECT_EQ(getClusterSize("x"), 0);
}

TEST_F(DiskSpace, IsDir) {
  EXPECT_EQ(isDir("missing"), 0);
  fake.attributes = 0x80;
  EXPECT_EQ(isDir("file"), 0);
  fake.attributes = 0x10 | 0x01;
  EXPECT_EQ(isDir("dir"), 1);
}

Stream* memoryOutput(test::MemFile* file) {
  return streamOpenOps(&test::memOps, file, "w", 1);
}

TEST_F(DiskSpace, FcloseReportsAFullOrUnknownVolume) {
  CaptureStd err(kStderr);
  test::MemFile file;
  fake.free_bytes = 1;
  EXPECT_EQ(Fclose(memoryOutput(&file), "out.txt"), 0);
  EXPECT_EQ(err.text(), "");

  fake.free_bytes = 0;
  EXPECT_EQ(Fclose(memoryOutput(&file), "D:\\out.txt"), -1);
  EXPECT_EQ(Fclose(memoryOutput(&file), "e:out.txt"), -1);
  EXPECT_EQ(Fclose(memoryOutput(&file), "out.txt"), -1);
  fake.ext = 0;
  EXPECT_EQ(Fclose(memoryOutput(&file), "\\\\srv\\out.txt"), -1);
  EXPECT_EQ(err.text(),
            "D drive: no free disk space\r\n"
            "e drive: no free disk space\r\n"
            "no free disk space\r\n"
            "no free disk space\r\n");
  EXPECT_EQ(file.closes, 5);
}

TEST_F(DiskSpace, FcloseFailureSkipsTheVolumeCheck) {
  CaptureStd err(kStderr);
  test::MemFile file;
  file.fail_close = true;
  fake.free_bytes = 0;
  EXPECT_EQ(Fclose(memoryOutput(&file), "D:\\out.txt"), -1);
  file.fail_close = false;
  file.fail_at = 0;
  Stream* s = memoryOutput(&file);
  streamPuts("lost", s);
  EXPECT_EQ(Fclose(s, "D:\\out.txt"), -1);
  EXPECT_EQ(err.text(), "");
}

TEST(SystemVolume, AnswersForRealFiles) {
  std::string cwd = std::filesystem::current_path().string();
  EXPECT_GT(getClusterSize("probe.txt"), 0);
  EXPECT_GT(getFreeSpace("probe.txt"), 0);
  EXPECT_EQ(isDir(cwd.c_str()), 1);
  EXPECT_EQ(isDir("/no/such/name"), 0);
#ifdef _WIN32
  const char* nowhere = "Q:\\x.txt";  // no such drive
#else
  const char* nowhere = "/no/such/dir/x.txt";
#endif
  EXPECT_EQ(getFreeSpace(nowhere), -1);
  EXPECT_EQ(FreeDiskSpace, -1.0);
  EXPECT_EQ(getClusterSize(nowhere), 0);
}

}  // namespace
}  // namespace kawase
