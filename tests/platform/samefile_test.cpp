// Same-file test: spellings, links, different files and missing names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/files.h"
#include "testutil/tempdir.h"

namespace kawase {
namespace {

namespace fs = std::filesystem;

// Two files of the same content, a.txt and b.txt, in a fresh directory.
class SameFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(a_) << "same\n";
    std::ofstream(b_) << "same\n";
  }
  std::string path(const char* name) const { return tmp_.file(name); }
  int same(const std::string& x, const std::string& y) { return sameFile(x.c_str(), y.c_str()); }

  test::TempDir tmp_;
  fs::path dir_ = tmp_.str();
  std::string a_ = path("a.txt"), b_ = path("b.txt");
};

// One file under two spellings, also while it is open for writing; a
// directory under two spellings.
TEST_F(SameFileTest, OneFileUnderTwoSpellings) {
  EXPECT_EQ(same(a_, a_), 1);
  EXPECT_EQ(same(a_, (dir_ / "." / ".." / dir_.filename() / "a.txt").string()), 1);
  EXPECT_EQ(same(dir_.string(), (dir_ / ".").string()), 1);
  std::ofstream open(a_, std::ios::app);
  open << "more\n";
  open.flush();
  EXPECT_EQ(same(a_, a_), 1);
}

TEST_F(SameFileTest, DifferentFilesAndMissingNames) {
  EXPECT_EQ(same(a_, b_), 0);
  EXPECT_EQ(same(dir_.string(), a_), 0);
  const std::string missing = path("missing.txt");
  EXPECT_EQ(same(a_, missing), 0);
  EXPECT_EQ(same(missing, a_), 0);
  EXPECT_EQ(same(missing, missing), 0);
}

TEST_F(SameFileTest, HardLink) {
  const std::string link = path("hard.txt");
  std::error_code error;
  fs::create_hard_link(a_, link, error);
  if (error) GTEST_SKIP() << "no hard links here: " << error.message();
  EXPECT_EQ(same(a_, link), 1);
  EXPECT_EQ(same(b_, link), 0);
}

#ifdef _WIN32
TEST_F(SameFileTest, NamesDifferingInCase) {
  std::string upper = path("A.TXT");
  EXPECT_EQ(sameFile(a_.c_str(), upper.c_str()), 1);
}
#else
TEST_F(SameFileTest, SymbolicLink) {
  const std::string link = path("sym.txt"), dangling = path("dangling.txt");
  fs::create_symlink(a_, link);
  EXPECT_EQ(same(link, a_), 1);
  fs::create_symlink(path("nowhere.txt"), dangling);
  EXPECT_EQ(same(dangling, dangling), 0);
}
#endif

}  // namespace
}  // namespace kawase
