// The files of builds without the Windows API, each of their system calls failing in turn as the
// system fails it, in a folder of the test's own.
#include <fcntl.h>

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
  EXPECT_FALSE(std::filesystem::exists("Quarvo.txt.new"));
}

}  // namespace
}  // namespace quarvo
