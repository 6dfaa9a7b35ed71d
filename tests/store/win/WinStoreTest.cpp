// The Windows build's files and settings against the platform, in a folder of the test's own.
#include <windows.h>

#include <filesystem>

#include "../StoreFakes.h"
#include "platform/System.h"
#include "platform/win/PrivateProfile.h"
#include "platform/win/WinFileCalls.h"

namespace quarvo {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

TEST(WinStore, ListFileSettingsAndFailuresOnThePlatform) {
  const testing::TempFolder temp;  // where the list file "Quarvo.txt" is
  const fs::path& dir = temp.path;
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

  files.Replace("big", "1234");  // a file over the limit is refused
  EXPECT_EQ(files.ReadAll("big", 4), "1234");
  EXPECT_THROW(files.ReadAll("big", 3), IoError);
  files.Replace("\xCA\xFD\xBE\xDD.txt", "x");  // a CP936 name reaches the platform as its characters
  EXPECT_TRUE(fs::exists(L"\u6570\u636E.txt"));

  PrivateProfile profile((dir / "Quarvo.ini").string());
  testing::ExpectProfileRules(profile);
  EXPECT_FALSE(PrivateProfile((dir / "none" / "Quarvo.ini").string()).WriteString("set", "startip", "x"));
  std::string path, folder;
  EXPECT_TRUE(PerUserSettingsPath("Quarvo.ini", path, folder));
  EXPECT_EQ(path, folder + "\\Quarvo.ini");
  EXPECT_EQ(fs::path(folder).filename(), "Quarvo");
}

using testing::injected;
const FileCalls kSystem = WinFileCalls();

// Failure with the step's error when the step is to fail here.
bool Fails(const char* call) {
  if (!injected.Hits(call)) return false;
  SetLastError(injected.step->error);
  return true;
}

HANDLE WINAPI FailingCreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE model) {
  if (Fails("CreateFile")) return INVALID_HANDLE_VALUE;
  return kSystem.createFile(name, access, share, security, disposition, flags, model);
}
BOOL WINAPI FailingReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD got, LPOVERLAPPED overlapped) {
  return !Fails("ReadFile") && kSystem.readFile(file, buffer, size, got, overlapped);
}
BOOL WINAPI FailingWriteFile(HANDLE file, LPCVOID bytes, DWORD size, LPDWORD written,
                             LPOVERLAPPED overlapped) {
  if (Fails("WriteFile0")) return *written = 0, TRUE;  // nothing written, and no error given
  return !Fails("WriteFile") && kSystem.writeFile(file, bytes, size, written, overlapped);
}
BOOL WINAPI FailingFlush(HANDLE file) {
  return !Fails("FlushFileBuffers") && kSystem.flushFileBuffers(file);
}
BOOL WINAPI FailingClose(HANDLE handle) {
  return kSystem.closeHandle(handle) && !Fails("CloseHandle");
}
DWORD WINAPI FailingAttributes(LPCWSTR name) {
  return Fails("GetFileAttributes") ? INVALID_FILE_ATTRIBUTES : kSystem.getFileAttributes(name);
}
BOOL WINAPI FailingMove(LPCWSTR from, LPCWSTR to, DWORD flags) {
  return !Fails("MoveFileEx") && kSystem.moveFile(from, to, flags);
}

TEST(WinStore, EachFailingCallShowsItsErrorAndChangesNothing) {
  FileCalls& calls = WinFileCalls();
  calls = {FailingCreateFile, FailingReadFile, FailingWriteFile,   FailingFlush,           FailingClose,
           FailingAttributes, FailingMove,     kSystem.deleteFile, kSystem.createDirectory};
  const std::string denied = "File access denied", full = "Disk full";
  // Opens: the existing file to learn what it is (then for writing, refused for a file another
  // program holds before anything is written) or for reading. Closes: that first open's, then the
  // next one's.
  const testing::FailingStep steps[] = {
      {"CreateFile", 1, ERROR_SHARING_VIOLATION, "RCL", denied},
      {"CreateFile", 2, ERROR_TOO_MANY_OPEN_FILES, "RC", "Too many open files"},
      {"ReadFile", 1, ERROR_READ_FAULT, "L", "I/O error 30"},
      {"WriteFile", 1, ERROR_HANDLE_DISK_FULL, "RC", full},
      {"WriteFile0", 1, 0, "RC", full},
      {"FlushFileBuffers", 1, ERROR_WRITE_FAULT, "RC", "I/O error 29"},
      {"CloseHandle", 1, ERROR_NETNAME_DELETED, "RCL", "I/O error 64"},
      {"CloseHandle", 2, ERROR_DISK_FULL, "RC", full},
      {"MoveFileEx", 1, ERROR_WRITE_PROTECT, "RC", "I/O error 19"},
      {"GetFileAttributes", 1, ERROR_ACCESS_DENIED, "RCl", denied},
      {"GetFileAttributes", 1, ERROR_INVALID_NAME, "RCl", texts::kIoBadFileName}};
  const testing::TempFolder folder;
  for (const auto& step : steps) testing::ExpectFailingStepChangesNothing(SystemFiles(), step);
  calls = kSystem;
}

TEST(WinStore, ADeviceAsTheListIsRefusedAndSavesAtTheSameTimeEachWinWhole) {
  const testing::TempFolder folder;
  FileStore& files = SystemFiles();
  EXPECT_THROW(files.Replace("NUL", "1\r\n"), NotPlainFileError);
  EXPECT_THROW(files.ReadAll("NUL", 100), NotPlainFileError);
  testing::ExpectConcurrentSavesEachWinWhole(files);
}

}  // namespace
}  // namespace quarvo
