#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "StoreFakes.h"
#include "store/FileStore.h"
#include "store/IoError.h"

namespace quarvo {
namespace {

namespace fs = std::filesystem;

class PosixFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quarvo-store.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string At(const std::string& name) { return (dir_ / name).string(); }

  FileStore& files = SystemFiles();
  fs::path dir_;
};

TEST_F(PosixFiles, ReplaceWritesAllBytesKeepsTheModeAndLeavesNothingBehind) {
  const std::string bytes = std::string("a\0\xFF\r\n", 5) + std::string(200000, 'x');
  files.Replace(At("Quarvo.txt"), "old");
  fs::permissions(At("Quarvo.txt"), fs::perms::owner_read | fs::perms::owner_write);
  files.Replace(At("Quarvo.txt"), bytes);
  EXPECT_EQ(files.ReadAll(At("Quarvo.txt")), bytes);
  EXPECT_EQ(fs::status(At("Quarvo.txt")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

  files.CreateFolder(At("a/b/c"));
  files.CreateFolder(At("a/b/c"));
  EXPECT_TRUE(fs::is_directory(At("a/b/c")));
  EXPECT_FALSE(files.IsPresent(At("a/b")));
  EXPECT_TRUE(files.IsPresent(At("Quarvo.txt")));
}

TEST_F(PosixFiles, FailuresGiveTheirCodesAndKeepTheOldFile) {
  fs::create_directory(At("folder"));
  EXPECT_EQ(testing::IoCodeOf([&] { files.ReadAll(At("missing")); }), io_code::kFileNotFound);
  EXPECT_EQ(testing::IoCodeOf([&] { files.Replace(At("nofolder/x"), "x"); }), io_code::kFileNotFound);
  EXPECT_EQ(testing::IoCodeOf([&] { files.ReadAll(At("folder")); }), io_code::kAccessDenied);
  EXPECT_EQ(testing::IoCodeOf([&] { files.Replace(At("folder"), "x"); }), io_code::kAccessDenied);
  EXPECT_TRUE(fs::is_directory(At("folder")));
}

TEST_F(PosixFiles, ReadOnlyFileIsKept) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write a read-only file";
  files.Replace(At("ro.txt"), "kept");
  fs::permissions(At("ro.txt"), fs::perms::owner_read);
  EXPECT_EQ(testing::IoCodeOf([&] { files.Replace(At("ro.txt"), "new"); }), io_code::kAccessDenied);
  EXPECT_EQ(files.ReadAll(At("ro.txt")), "kept");
}

}  // namespace
}  // namespace quarvo
