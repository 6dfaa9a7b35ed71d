// The Windows build's files and settings against the platform, in a folder of the test's own.
#include <windows.h>

#include <filesystem>

#include "../StoreFakes.h"
#include "store/win/PrivateProfile.h"

namespace quarvo {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

TEST(WinStore, ListFileSettingsAndFailuresOnThePlatform) {
  const fs::path dir = fs::temp_directory_path() / ("quarvo-store-" + std::to_string(GetCurrentProcessId()));
  fs::create_directories(dir);
  fs::current_path(dir);  // where the list file "Quarvo.txt" is
  FileStore& files = SystemFiles();
  testing::PersistenceHarness h;
  PersistenceContext real{h.context, h.dialogs, files, h.profile};
  files.Replace("Quarvo.txt", "1\ta\tb\r\n");
  SetFileAttributesW(L"Quarvo.txt", FILE_ATTRIBUTE_READONLY);
  h.table.AddRow("2");
  EXPECT_FALSE(SaveListOnRequest(real));
  EXPECT_EQ(h.dialogs.errors, Texts{"File access denied"});
  LoadList(real);  // the file is as it was, and may be read
  EXPECT_EQ(h.table.GetCell(0, ColMac), "b");
  SetFileAttributesW(L"Quarvo.txt", FILE_ATTRIBUTE_NORMAL);
  fs::remove("Quarvo.txt");
  fs::create_directory("Quarvo.txt");
  const Texts captions = h.window.History(UiText::MainCaption);
  LoadList(real);  // a folder of that name: nothing happens
  EXPECT_EQ(h.window.History(UiText::MainCaption), captions);
  EXPECT_FALSE(SaveListOnRequest(real));
  EXPECT_EQ(h.dialogs.errors, (Texts{"File access denied", "File access denied"}));

  files.Replace("\xCA\xFD\xBE\xDD.txt", "x");  // a CP936 name reaches the platform as its characters
  EXPECT_TRUE(fs::exists(L"\u6570\u636E.txt"));

  PrivateProfile profile((dir / "Quarvo.ini").string());
  testing::ExpectProfileRules(profile);
  EXPECT_FALSE(PrivateProfile((dir / "none" / "Quarvo.ini").string()).WriteString("set", "startip", "x"));
  std::string path, folder;
  EXPECT_TRUE(PerUserSettingsPath("Quarvo.ini", path, folder));
  EXPECT_EQ(path, folder + "\\Quarvo.ini");
  EXPECT_EQ(fs::path(folder).filename(), "Quarvo");
  fs::current_path(dir.parent_path());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quarvo
