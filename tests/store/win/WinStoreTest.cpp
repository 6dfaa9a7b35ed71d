// The files and settings of the Windows build against the platform itself, each test in a folder
// of its own that is also the current directory.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "ProfileRules.h"
#include "StoreFakes.h"
#include "store/IoError.h"
#include "store/LayeredProfile.h"
#include "store/win/PrivateProfile.h"

namespace quarvo {
namespace {

namespace fs = std::filesystem;
using testing::IoCodeOf;
using V = std::vector<std::string>;

class WinStore : public ::testing::Test {
 protected:
  void SetUp() override {
    static int count = 0;
    dir_ = fs::temp_directory_path() /
           ("quarvo-store-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count));
    fs::create_directories(dir_);
    previous_ = fs::current_path();
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::remove_all(dir_);
  }
  std::string At(const std::string& name) { return (dir_ / name).string(); }

  fs::path dir_, previous_;
  FileStore& files = SystemFiles();
  testing::PersistenceHarness h;
  PersistenceContext real{h.context, h.dialogs, files, h.profile};
};

TEST_F(WinStore, ReadOnlyListIsRefusedAndAFolderOfItsNameIsNoList) {
  files.Replace("Quarvo.txt", "1\ta\tb\r\n");
  SetFileAttributesW(L"Quarvo.txt", FILE_ATTRIBUTE_READONLY);
  h.table.AddRow("2");
  h.state.ListChanged = true;
  EXPECT_FALSE(SaveListOnRequest(real));
  EXPECT_EQ(h.dialogs.errors, V{"File access denied"});
  EXPECT_TRUE(h.state.ListChanged);
  EXPECT_EQ(files.ReadAll("Quarvo.txt"), "1\ta\tb\r\n");
  EXPECT_FALSE(fs::exists("Quarvo.txt.new"));
  LoadList(real);  // reading a read-only file is allowed
  EXPECT_EQ(h.table.GetCell(0, ColMac), "b");

  SetFileAttributesW(L"Quarvo.txt", FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(DeleteFileW(L"Quarvo.txt"));
  ASSERT_TRUE(CreateDirectoryW(L"Quarvo.txt", nullptr));
  const auto captions = h.window.History(UiText::MainCaption).size();
  LoadList(real);
  EXPECT_EQ(h.table.GetCell(0, ColMac), "b");
  EXPECT_EQ(h.window.History(UiText::MainCaption).size(), captions);
  EXPECT_EQ(h.dialogs.errors.size(), 1u);
  EXPECT_FALSE(SaveListOnRequest(real));
  EXPECT_EQ(h.dialogs.errors.back(), "File access denied");
  EXPECT_TRUE(fs::is_directory("Quarvo.txt"));
}

TEST_F(WinStore, BytesComeBackAndPlatformFailuresGiveTheirCodes) {
  const std::string bytes = "\xBB\xFA\t\x01\xFF\tC\tD\r\n001\t192.168.0.1\t00-1A-2B-3C-4D-5E\r\n";
  files.Replace("Quarvo.txt", bytes);
  LoadList(real);
  ASSERT_TRUE(SaveListOnRequest(real));
  EXPECT_EQ(files.ReadAll("Quarvo.txt"),
            "001\t192.168.0.1\t00-1A-2B-3C-4D-5E\r\n\xBB\xFA\t\x01\xFF\tC\tD\r\n");
  files.Replace("\xCA\xFD\xBE\xDD.txt", "x");  // a CP936 name reaches the platform as its characters
  EXPECT_TRUE(fs::exists(L"\u6570\u636E.txt"));
  EXPECT_TRUE(files.IsPresent("\xCA\xFD\xBE\xDD.txt"));

  EXPECT_EQ(IoCodeOf([&] { files.ReadAll("missing.txt"); }), io_code::kFileNotFound);
  EXPECT_EQ(IoCodeOf([&] { files.ReadAll("nofolder\\x.txt"); }), io_code::kBadFileName);
  EXPECT_EQ(IoCodeOf([&] { files.Replace("nofolder\\x.txt", "x"); }), io_code::kBadFileName);
  HANDLE locked = CreateFileW(L"locked.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_EQ(IoCodeOf([&] { files.ReadAll("locked.txt"); }), io_code::kAccessDenied);
  EXPECT_EQ(IoCodeOf([&] { files.Replace("locked.txt", "x"); }), io_code::kAccessDenied);
  CloseHandle(locked);
}

TEST_F(WinStore, PlatformProfileKeepsTheRulesAndRefusedWritesGoToTheUsersFolder) {
  PrivateProfile main(At("Quarvo.ini"));
  testing::ExpectProfileRules(main);
  EXPECT_TRUE(fs::exists("Quarvo.ini"));
  EXPECT_FALSE(PrivateProfile(At("missing\\Quarvo.ini")).WriteString("set", "startip", "x"));

  // Another program holds the file: it can be read, not written.
  HANDLE held = CreateFileW(L"Quarvo.ini", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(main.WriteString("set", "startip", "x"));
  IniProfile perUser(files, At("user\\Quarvo.ini"), At("user"));
  LayeredProfile layered(main, perUser);
  h.window.Put(UiText::StartIp, "3.3.3.3");
  h.window.Put(UiText::EndIp, "10.0.0.9");
  PersistenceContext settings{h.context, h.dialogs, files, layered};
  SaveSettings(settings);
  CloseHandle(held);
  EXPECT_EQ(files.ReadAll(At("user\\Quarvo.ini")), "[set]\r\nstartip=3.3.3.3\r\nendip=10.0.0.9\r\n");
  // Writable again: both places take the new value, and the per-user one is read first.
  EXPECT_TRUE(layered.WriteString("set", "endip", "10.0.0.7"));
  EXPECT_EQ(main.GetString("set", "endip", "d"), "10.0.0.7");
  LoadSettings(settings);
  EXPECT_EQ(h.window.Text(UiText::StartIp), "3.3.3.3");
  EXPECT_EQ(h.window.Text(UiText::EndIp), "10.0.0.7");
  EXPECT_EQ(main.GetString("set", "startip", "d"), "test");

  std::string path, folder;
  ASSERT_TRUE(PerUserSettingsPath("Quarvo.ini", path, folder));
  EXPECT_EQ(path, folder + "\\Quarvo.ini");
  EXPECT_EQ(fs::path(folder).filename(), "Quarvo");
}

}  // namespace
}  // namespace quarvo
