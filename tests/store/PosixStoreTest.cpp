// The files of builds without the Windows API, each of their system calls failing in turn as the
// system fails it, in a folder of the test's own.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "StoreFakes.h"
#include "platform/System.h"
#include "platform/posix/PosixFileCalls.h"

namespace quarvo {
namespace {

using testing::injected;
const FileCalls kSystem = PosixFileCalls();

// -1 with the step's errno when the step is to fail here.
bool Fails(const char* call) {
  if (!injected.Hits(call)) return false;
  errno = static_cast<int>(injected.step->error);
  return true;
}

TEST(PosixStore, EachFailingCallShowsItsErrorAndChangesNothing) {
  FileCalls& calls = PosixFileCalls();
  calls.open = [](const char* name, int flags, mode_t mode) {
    return Fails("open") ? -1 : kSystem.open(name, flags, mode);
  };
  calls.read = [](int fd, void* buffer, size_t size) {
    return Fails("read") ? -1 : kSystem.read(fd, buffer, size);
  };
  calls.write = [](int fd, const void* bytes, size_t size) {
    if (Fails("write0")) return ssize_t{0};  // nothing written, and no error given
    return Fails("write") ? -1 : kSystem.write(fd, bytes, size);
  };
  calls.fsync = [](int fd) { return Fails("fsync") ? -1 : kSystem.fsync(fd); };
  calls.close = [](int fd) {  // the descriptor is released even when the close reports a failure
    const int closed = kSystem.close(fd);
    return Fails("close") ? -1 : closed;
  };
  calls.stat = [](const char* name, struct stat* info) {
    return Fails("stat") ? -1 : kSystem.stat(name, info);
  };
  calls.lstat = [](const char* name, struct stat* info) {
    return Fails("stat") ? -1 : kSystem.lstat(name, info);
  };
  calls.rename = [](const char* from, const char* to) {
    return Fails("rename") ? -1 : kSystem.rename(from, to);
  };
  const std::string denied = "File access denied", full = "Disk full", io = "I/O error 1005";  // EIO is 5
  // Opens: the existing file for writing (a read-only file, refused before anything is written) or
  // for reading, then the new file beside it. Closes: that first open's, then the new file's.
  const testing::FailingStep steps[] = {{"open", 1, EACCES, "RCL", denied},
                                        {"open", 2, EMFILE, "RC", "Too many open files"},
                                        {"read", 1, EIO, "L", io},
                                        {"write", 1, ENOSPC, "RC", full},
                                        {"write0", 1, 0, "RC", full},
                                        {"fsync", 1, EIO, "RC", io},
                                        {"close", 1, EIO, "RCL", io},
                                        {"close", 2, EDQUOT, "RC", full},
                                        {"rename", 1, EISDIR, "RC", denied},
                                        {"stat", 1, EIO, "RCl", io},
                                        {"stat", 1, ENAMETOOLONG, "RCl", texts::kIoBadFileName}};
  testing::TempFolder folder;
  for (const auto& step : steps) testing::ExpectFailingStepChangesNothing(SystemFiles(), step);
  // A file over the limit is refused by its size, before a read that would fail.
  SystemFiles().Replace("big", "1234");
  EXPECT_EQ(SystemFiles().ReadAll("big", 4), "1234");
  injected = {&steps[2], 0};
  try {
    SystemFiles().ReadAll("big", 3);
    ADD_FAILURE() << "read";
  } catch (const IoError& error) {
    EXPECT_EQ(error.Code(), io_code::kNotEnoughMemory);
  }
  injected = {};
  calls = kSystem;

  std::filesystem::remove("Quarvo.txt");  // a folder in the file's place: never loaded nor replaced
  std::filesystem::create_directory("Quarvo.txt");
  testing::PersistenceHarness h;
  PersistenceContext real{h.context, h.dialogs, SystemFiles(), h.profile};
  h.table.AddRow("1");
  EXPECT_FALSE(SaveListOnRequest(real));
  LoadList(real);
  EXPECT_EQ(h.dialogs.errors, std::vector<std::string>{denied});
  EXPECT_EQ(h.table.RowCount(), 1);
  EXPECT_TRUE(std::filesystem::is_directory("Quarvo.txt"));
}

namespace fs = std::filesystem;

std::string Bytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void Write(const fs::path& path, const std::string& bytes, mode_t mode) {
  std::ofstream(path, std::ios::binary) << bytes;
  chmod(path.c_str(), mode);
}

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
  return info.st_mode;
}

// A save in a folder that others may write, run by root as the README tells users to run the window.
TEST(PosixStore, ASaveWritesOnlyTheListItselfAndKeepsItsModeAndOwner) {
  testing::TempFolder folder;
  const fs::path outside = folder.path / "outside";
  fs::create_directory(outside);
  Write(outside / "secret", "root's own\n", 0600);
  FileStore& files = SystemFiles();

  // A planted link where a save once put its new file: the file it leads to stays as it was.
  Write("Quarvo.txt", "1\ta\tb\r\n", 0640);
  fs::create_symlink(outside / "secret", "Quarvo.txt.new");
  files.Replace("Quarvo.txt", "2\tc\td\r\n");
  EXPECT_EQ(Bytes(outside / "secret"), "root's own\n");
  EXPECT_EQ(ModeOf(outside / "secret") & 07777, 0600u);
  EXPECT_EQ(Bytes("Quarvo.txt"), "2\tc\td\r\n");
  EXPECT_EQ(ModeOf("Quarvo.txt") & 07777, 0640u);  // the list's mode is kept
  EXPECT_TRUE(fs::is_symlink("Quarvo.txt.new"));

  // A list that is a link of the user's own is written through to its file; the link stays.
  Write(outside / "list.txt", "old\r\n", 0604);
  fs::create_symlink(outside / "list.txt", "linked.txt");
  files.Replace("linked.txt", "new\r\n");
  EXPECT_TRUE(fs::is_symlink("linked.txt"));
  EXPECT_EQ(Bytes(outside / "list.txt"), "new\r\n");
  EXPECT_EQ(ModeOf(outside / "list.txt") & 07777, 0604u);

  if (geteuid() != 0) GTEST_SKIP() << "the owner checks need root";
  // The list of another user, saved by root, stays that user's.
  ASSERT_EQ(chown("Quarvo.txt", 65534, 65534), 0);
  files.Replace("Quarvo.txt", "3\r\n");
  struct stat info {};
  ASSERT_EQ(stat("Quarvo.txt", &info), 0);
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_EQ(info.st_gid, 65534u);
  // Another user's link in the list's place is not followed to a file of root's.
  fs::create_symlink(outside / "secret", "planted.txt");
  ASSERT_EQ(lchown("planted.txt", 65534, 65534), 0);
  EXPECT_THROW(files.Replace("planted.txt", "x"), IoError);
  EXPECT_EQ(Bytes(outside / "secret"), "root's own\n");
  EXPECT_TRUE(fs::is_symlink("planted.txt"));
}

TEST(PosixStore, APipeOrADeviceAsTheListIsRefusedWithoutWaiting) {
  testing::TempFolder folder;
  FileStore& files = SystemFiles();
  ASSERT_EQ(mkfifo("fifo", 0600), 0);
  alarm(20);  // a save or load that waits for a reader or writer of the pipe ends the test here
  EXPECT_THROW(files.Replace("fifo", "1\r\n"), NotPlainFileError);
  EXPECT_THROW(files.ReadAll("fifo", 100), NotPlainFileError);
  testing::PersistenceHarness h;
  PersistenceContext real{h.context, h.dialogs, files, h.profile, "fifo"};
  h.table.AddRow("1");
  EXPECT_FALSE(SaveListOnRequest(real));
  LoadList(real);  // no list there: nothing happens
  alarm(0);
  EXPECT_EQ(h.dialogs.errors, std::vector<std::string>{texts::kNotPlainFile});
  EXPECT_TRUE(S_ISFIFO(ModeOf("fifo")));

  if (geteuid() != 0) GTEST_SKIP() << "making a device node needs root";
  // A node of the null device, made in the test's folder: it stays a device.
  ASSERT_EQ(mknod("device", S_IFCHR | 0666, makedev(1, 3)), 0);
  EXPECT_THROW(files.Replace("device", "1\r\n"), NotPlainFileError);
  EXPECT_TRUE(S_ISCHR(ModeOf("device")));
  for (const auto& entry : fs::directory_iterator("."))
    EXPECT_THAT(entry.path().filename().string(), ::testing::AnyOf("fifo", "device"));
}

TEST(PosixStore, SavesAtTheSameTimeEachWinWholeAndNoneFailsFalsely) {
  testing::TempFolder folder;
  testing::ExpectConcurrentSavesEachWinWhole(SystemFiles());
}

}  // namespace
}  // namespace quarvo
