// Same-file test: spellings, links, different files and missing names.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/files.h"

namespace kawase {
namespace {

namespace fs = std::filesystem;

class SameFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kawase_samefile_test_" +
            std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::create_directories(dir_);
    a_ = path("a.txt");
    b_ = path("b.txt");
    std::ofstream(a_) << "same\n";
    std::ofstream(b_) << "same\n";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string path(const char* name) const { return (dir_ / name).string(); }

  fs::path dir_;
  std::string a_;
  std::string b_;
};

TEST_F(SameFileTest, OneFileUnderTwoSpellings) {
  EXPECT_EQ(sameFile(a_.c_str(), a_.c_str()), 1);
  std::string roundabout = (dir_ / "." / ".." / dir_.filename() / "a.txt").string();
  EXPECT_EQ(sameFile(a_.c_str(), roundabout.c_str()), 1);
  EXPECT_EQ(sameFile(dir_.string().c_str(), (dir_ / ".").string().c_str()), 1);
}

TEST_F(SameFileTest, DifferentFilesWithTheSameContent) {
  EXPECT_EQ(sameFile(a_.c_str(), b_.c_str()), 0);
  EXPECT_EQ(sameFile(dir_.string().c_str(), a_.c_str()), 0);
}

TEST_F(SameFileTest, MissingNames) {
  std::string missing = path("missing.txt");
  EXPECT_EQ(sameFile(a_.c_str(), missing.c_str()), 0);
  EXPECT_EQ(sameFile(missing.c_str(), a_.c_str()), 0);
  EXPECT_EQ(sameFile(missing.c_str(), missing.c_str()), 0);
}

TEST_F(SameFileTest, HardLink) {
  std::string link = path("hard.txt");
  std::error_code error;
  fs::create_hard_link(a_, link, error);
  if (error) GTEST_SKIP() << "no hard links here: " << error.message();
  EXPECT_EQ(sameFile(a_.c_str(), link.c_str()), 1);
  EXPECT_EQ(sameFile(b_.c_str(), link.c_str()), 0);
}

TEST_F(SameFileTest, AFileOpenForWritingIsStillRecognised) {
  std::ofstream open(a_, std::ios::app);
  open << "more\n";
  open.flush();
  EXPECT_EQ(sameFile(a_.c_str(), a_.c_str()), 1);
}

#ifdef _WIN32
TEST_F(SameFileTest, NamesDifferingInCase) {
  std::string upper = path("A.TXT");
  EXPECT_EQ(sameFile(a_.c_str(), upper.c_str()), 1);
}
#else
TEST_F(SameFileTest, SymbolicLink) {
  std::string link = path("sym.txt");
  fs::create_symlink(a_, link);
  EXPECT_EQ(sameFile(link.c_str(), a_.c_str()), 1);
  std::string dangling = path("dangling.txt");
  fs::create_symlink(path("nowhere.txt"), dangling);
  EXPECT_EQ(sameFile(dangling.c_str(), dangling.c_str()), 0);
}
#endif

}  // namespace
}  // namespace kawase
