// Volume queries of the system, and the table that lets tests replace them.
#include "platform/volume.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kawase {
namespace {

namespace fs = std::filesystem;

// A root path that names no volume: a drive letter nobody has on POSIX
// systems, the first unused one on Windows.
std::string missingVolume() {
#ifdef _WIN32
  DWORD drives = GetLogicalDrives();
  for (int letter = 25; letter >= 2; letter--) {
    if ((drives & (1u << letter)) == 0)
      return std::string(1, static_cast<char>('A' + letter)) + ":\\";
  }
  return "";
#else
  return "C:\\";
#endif
}

TEST(SystemVolumeOps, CurrentVolumeHasGeometryAndFreeSpace) {
  const VolumeOps* ops = systemVolumeOps();
  uint32_t sectors = 0, bytes = 0, freeClusters = 0, totalClusters = 0;
  ASSERT_EQ(ops->diskFreeSpace("\\", &sectors, &bytes, &freeClusters, &totalClusters), 1);
  EXPECT_GT(sectors, 0u);
  EXPECT_GT(bytes, 0u);
  EXPECT_GT(totalClusters, 0u);
  EXPECT_GT(freeClusters, 0u);
  EXPECT_LE(freeClusters, totalClusters);

  uint64_t available = 0;
  ASSERT_EQ(ops->diskFreeSpaceEx("\\", &available), kQueryDone);
  EXPECT_GT(available, 0u);
  // Both queries describe the same volume (allowing for other writers in
  // between), unless the cluster count was too large for 32 bits.
  if (freeClusters < 0xFFFFFFFFu) {
    uint64_t fromClusters = uint64_t{freeClusters} * sectors * bytes;
    uint64_t diff = fromClusters > available ? fromClusters - available : available - fromClusters;
    EXPECT_LT(diff, uint64_t{256} << 20) << fromClusters << " vs " << available;
  }
}

TEST(SystemVolumeOps, DriveRootsAreVolumes) {
#ifdef _WIN32
  // The drive of the current directory, named by its letter.
  char cwd[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, cwd), 2u);
  ASSERT_EQ(cwd[1], ':');
  const char root[] = {cwd[0], ':', '\\', '\0'};
  uint32_t sectors = 0, bytes = 0, freeClusters = 0, totalClusters = 0;
  EXPECT_EQ(systemVolumeOps()->diskFreeSpace(root, &sectors, &bytes, &freeClusters, &totalClusters),
            1);
  EXPECT_GT(uint64_t{sectors} * bytes, 0u);
#else
  // Without drives, any other path names the volume holding it.
  uint32_t sectors = 0, bytes = 0, freeClusters = 0, totalClusters = 0;
  EXPECT_EQ(systemVolumeOps()->diskFreeSpace("/", &sectors, &bytes, &freeClusters, &totalClusters),
            1);
  EXPECT_GT(uint64_t{sectors} * bytes, 0u);
#endif
}

TEST(SystemVolumeOps, MissingVolumeFails) {
  std::string root = missingVolume();
  ASSERT_FALSE(root.empty());
  const VolumeOps* ops = systemVolumeOps();
  uint32_t sectors = 7, bytes = 7, freeClusters = 7, totalClusters = 7;
  EXPECT_EQ(ops->diskFreeSpace(root.c_str(), &sectors, &bytes, &freeClusters, &totalClusters), 0)
      << root;
  uint64_t available = 7;
  EXPECT_EQ(ops->diskFreeSpaceEx(root.c_str(), &available), kQueryFailed) << root;
}

class FileAttributesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() /
        ("kawase_volume_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::create_directories(dir_);
    file_ = dir_ / "plain.txt";
    std::ofstream(file_) << "x\n";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  fs::path dir_;
  fs::path file_;
};

TEST_F(FileAttributesTest, DirectoryFileAndMissingName) {
  const VolumeOps* ops = systemVolumeOps();
  uint32_t dirBits = ops->fileAttributes(dir_.string().c_str());
  EXPECT_NE(dirBits, kNoFileAttributes);
  EXPECT_NE(dirBits & kFileAttributeDirectory, 0u);

  uint32_t fileBits = ops->fileAttributes(file_.string().c_str());
  EXPECT_NE(fileBits, kNoFileAttributes);
  EXPECT_EQ(fileBits & kFileAttributeDirectory, 0u);

  EXPECT_EQ(ops->fileAttributes((dir_ / "missing").string().c_str()), kNoFileAttributes);
  EXPECT_EQ(ops->fileAttributes((dir_ / "missing" / "deeper").string().c_str()), kNoFileAttributes);
}

TEST(SystemVolumeOps, TempDirectoryIsADirectory) {
  uint32_t bits = systemVolumeOps()->fileAttributes(::testing::TempDir().c_str());
  EXPECT_NE(bits, kNoFileAttributes) << ::testing::TempDir();
  EXPECT_NE(bits & kFileAttributeDirectory, 0u) << ::testing::TempDir();
}

// A volume that is full and a system without the extended query, as a test
// of the disk-space checks would set them up.
int fullDisk(const char*, uint32_t* sectors, uint32_t* bytes, uint32_t* freeClusters,
             uint32_t* totalClusters) {
  *sectors = 8;
  *bytes = 512;
  *freeClusters = 0;
  *totalClusters = 1000;
  return 1;
}
int noExtendedQuery(const char*, uint64_t*) {
  return kQueryAbsent;
}
uint32_t nothingExists(const char*) {
  return kNoFileAttributes;
}

TEST(VolumeOpsSeam, ReplacedOpsAreUsedUntilRestored) {
  const VolumeOps fake = {fullDisk, noExtendedQuery, nothingExists};
  EXPECT_EQ(volumeOps(), systemVolumeOps());

  EXPECT_EQ(setVolumeOps(&fake), systemVolumeOps());
  EXPECT_EQ(volumeOps(), &fake);
  uint32_t sectors = 0, bytes = 0, freeClusters = 1, totalClusters = 0;
  EXPECT_EQ(volumeOps()->diskFreeSpace("\\", &sectors, &bytes, &freeClusters, &totalClusters), 1);
  EXPECT_EQ(freeClusters, 0u);
  uint64_t available = 0;
  EXPECT_EQ(volumeOps()->diskFreeSpaceEx("\\", &available), kQueryAbsent);
  EXPECT_EQ(volumeOps()->fileAttributes(::testing::TempDir().c_str()), kNoFileAttributes);

  // Null puts the system's operations back.
  EXPECT_EQ(setVolumeOps(nullptr), &fake);
  EXPECT_EQ(volumeOps(), systemVolumeOps());
  EXPECT_NE(volumeOps()->fileAttributes(::testing::TempDir().c_str()), kNoFileAttributes);
}

}  // namespace
}  // namespace kawase
