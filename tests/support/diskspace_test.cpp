// Disk space and the checked close over the fake volume, and the system's.
#include "support/diskspace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "testutil/fakes.h"
#include "testutil/memstream.h"

namespace kawase {

// The system's queries; then the volume of a name's drive, else the current
// one; its extended query if any (no fall-back); clamped, the exact count kept.
TEST(DiskSpace, Queries) {
#ifdef _WIN32
  const char* nowhere = "Q:\\x.txt";  // no such drive
#else
  const char* nowhere = "/no/such/dir/x.txt";
#endif
  EXPECT_GT(getClusterSize("probe.txt"), 0);
  EXPECT_GT(getFreeSpace("probe.txt"), 0);
  EXPECT_EQ(isDir(std::filesystem::current_path().string().c_str()), 1);
  EXPECT_EQ(isDir(nowhere), 0);
  EXPECT_EQ(getClusterSize(nowhere), 0);
  EXPECT_EQ(getFreeSpace(nowhere), -1);
  EXPECT_EQ(FreeDiskSpace, -1.0);
  test::FakeVolume v;
  const std::tuple<const char*, const char*, int, int, uint64_t, uint32_t, int, double> rows[] = {
      {"C:\\dir\\f.txt", "C:\\", 1, 1, 5000000000u, 0, 2147483647, 5e9},
      {"d:rel.txt", "d:\\", 1, 1, 2147483647u, 0, 2147483647, 2147483647.0},
      {"C:", "C:\\", 1, 1, 2147483648u, 0, 2147483647, 2147483648.0},
      {"a", "\\", 1, 1, 12345, 0, 12345, 12345.0},
      {"", "\\", 0, 1, 12345, 1000, -1, -1.0},
      {"\\\\srv\\share\\f", "\\", -1, 1, 0, 4000000000u, 2147483647, 4000000000.0 * 4096},
      {"out.txt", "\\", -1, 1, 0, 3, 12288, 12288.0},
      {"D:\\x", "D:\\", -1, 0, 0, 1000, -1, -1.0}};
  for (auto [name, root, ext, basic_ok, free_bytes, free_clusters, want, exact] : rows) {
    std::tie(v.ext, v.basic_ok, v.free_bytes, v.free_clusters) =
        std::tie(ext, basic_ok, free_bytes, free_clusters);
    EXPECT_EQ(getFreeSpace(name), want) << name;
    EXPECT_EQ(FreeDiskSpace, exact);
    EXPECT_EQ(v.last_root + "|" + v.last_name, std::string(root) + "|" + name);
    EXPECT_EQ(getClusterSize(name), basic_ok * 4096);
  }
  for (uint32_t a : {kInvalidAttributes, 0x80u, 0x11u})
    EXPECT_EQ((v.attributes = a, isDir("d")), a == 0x11u ? 1 : 0) << a;
#ifndef _WIN32
  // Root may fill the blocks kept back from other users; others may not.
  EXPECT_EQ(usableFreeBlocks(100, 40, true), 100u);
  EXPECT_EQ(usableFreeBlocks(100, 40, false), 40u);
#endif
}

// A close that works on a volume without room, or of unknown room, is a full
// disk; a failed close (1: the close, 2: the flush) is the caller's to
// report. A pipe or device has no volume: its close is all.
TEST(DiskSpace, Fclose) {
  test::FakeVolume v;
  const std::tuple<uint64_t, int, int, const char*, int, const char*> rows[] = {
      {1, 1, 0, "out.txt", 0, ""},
      {0, 1, 0, "/dev/stdout", 0, ""},
      {0, 1, 1, "/dev/stdout", -1, ""},
      {0, 1, 0, "D:\\out.txt", -1, "D drive: no free disk space\r\n"},
      {0, 1, 0, "e:out.txt", -1, "e drive: no free disk space\r\n"},
      {0, 1, 0, "out.txt", -1, "no free disk space\r\n"},
      {1, 0, 0, "\\\\srv\\out.txt", -1, "no free disk space\r\n"},
      {0, 1, 1, "D:\\out.txt", -1, ""},
      {0, 1, 2, "D:\\out.txt", -1, ""}};
  for (auto [free_bytes, ext, fail, name, want, message] : rows) {
    std::tie(v.free_bytes, v.ext) = std::tie(free_bytes, ext);
    v.attributes = name[0] == '/' ? kAttributeDevice : 0x80u;
    test::CaptureStd err(kStderr);
    test::MemFile file;
    file.fail_close = fail == 1;
    file.fail_at = fail == 2 ? 0 : -1;
    Stream* s = test::openMem(&file, "w");
    streamPuts("data", s);
    EXPECT_EQ(Fclose(s, name), want) << name;
    EXPECT_EQ(err.text(), message) << name;
    EXPECT_EQ(file.closes, 1);
  }
}

}  // namespace kawase
