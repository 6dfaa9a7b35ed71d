// The files of builds without the Windows API.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "platform/System.h"
#include "platform/posix/PosixFileCalls.h"
#include "store/FileStore.h"
#include "store/IoError.h"

namespace quarvo {

namespace {

// errno values that match none of the error table's entries are reported above 1000, so that they
// never read as one of its codes (EIO is 5, the code of "File access denied").
constexpr int kUnlistedErrnoBase = 1000;

int IoCodeOfErrno(int error) {
  switch (error) {
    case ENOENT:
      return io_code::kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
      return io_code::kBadFileName;
    case EMFILE:
    case ENFILE:
      return io_code::kTooManyFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return io_code::kAccessDenied;
    case ENOSPC:
    case EDQUOT:
      return io_code::kDiskFull;
    default:
      return kUnlistedErrnoBase + error;
  }
}

FileCalls& Os() {
  return PosixFileCalls();
}

[[noreturn]] void ThrowErrno() {
  throw IoError(IoCodeOfErrno(errno));
}

// Closes the descriptor when it goes out of scope without Close.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  ~Descriptor() {
    if (fd_ >= 0) Os().close(fd_);
  }
  int Get() const { return fd_; }
  void Close() {
    const int fd = fd_;
    fd_ = -1;
    if (Os().close(fd) != 0) ThrowErrno();
  }

 private:
  int fd_;
};

void WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = Os().write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      ThrowErrno();
    }
    if (written == 0) throw IoError(io_code::kDiskFull);  // no room left, though no error was given
    done += static_cast<std::size_t>(written);
  }
}

// The folder part of a name, "." for a bare name.
std::string FolderOf(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : name.substr(0, slash);
}

// The file a save writes: the name itself, or for a symbolic link the file it leads to. Only a link
// of this user's own (or root's) is followed: in a folder that others may write, another user's
// link to a file of ours must not make a save overwrite that file.
std::string SaveTarget(const std::string& name) {
  struct stat link {};
  if (Os().lstat(name.c_str(), &link) != 0) {
    if (errno == ENOENT) return name;
    ThrowErrno();  // a file whose state cannot be learned is not replaced blindly
  }
  if (!S_ISLNK(link.st_mode)) return name;
  if (link.st_uid != geteuid() && link.st_uid != 0) throw IoError(io_code::kAccessDenied);
  char resolved[PATH_MAX];
  if (realpath(name.c_str(), resolved) == nullptr) ThrowErrno();
  return resolved;
}

// A new file of a name no other save uses, beside `target`; never follows a link of that name.
Descriptor CreateUniqueBeside(const std::string& target, mode_t mode, std::string& temp) {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (int attempt = 0;; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%x%04x.new", random() & 0xFFFFFu, counter++ & 0xFFFFu);
    temp = target + suffix;
    Descriptor file(
        Os().open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode));
    if (file.Get() >= 0 || errno != EEXIST || attempt == 100) {
      if (file.Get() < 0) ThrowErrno();
      return file;
    }
  }
}

class PosixFiles final : public FileStore {
 public:
  bool IsPresent(const std::string& name) override {
    // Only a regular file can be the list: a folder, a pipe or a device of that name is none.
    struct stat info {};
    return Os().stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  }

  std::string ReadAll(const std::string& name, std::size_t limit) override {
    // Not blocking: a pipe put in the list's place must not hang the program in its open.
    Descriptor file(Os().open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0));
    if (file.Get() < 0) ThrowErrno();
    struct stat info {};
    if (fstat(file.Get(), &info) != 0) ThrowErrno();
    if (S_ISDIR(info.st_mode)) throw IoError(io_code::kAccessDenied);
    if (!S_ISREG(info.st_mode)) throw NotPlainFileError();
    const auto size = static_cast<unsigned long long>(info.st_size);
    if (size > limit) throw TooLargeError(TooLargeError::Unit::Bytes, size, limit);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    char buffer[64 * 1024];
    for (;;) {
      const ssize_t got = Os().read(file.Get(), buffer, sizeof buffer);
      if (got < 0) {
        if (errno == EINTR) continue;
        ThrowErrno();
      }
      if (got == 0) break;
      if (static_cast<std::size_t>(got) > limit - bytes.size()) {
        throw TooLargeError(TooLargeError::Unit::Bytes, bytes.size() + static_cast<std::size_t>(got), limit);
      }
      bytes.append(buffer, static_cast<std::size_t>(got));
    }
    file.Close();
    return bytes;
  }

  void Replace(const std::string& name, const std::string& bytes) override {
    const std::string target = SaveTarget(name);
    struct stat old {};
    const bool exists = Os().lstat(target.c_str(), &old) == 0;
    // Only a missing file may be created; a file whose state cannot be learned is not replaced blindly.
    if (!exists && errno != ENOENT) ThrowErrno();
    if (exists) {
      if (S_ISDIR(old.st_mode)) throw IoError(io_code::kAccessDenied);
      // A pipe would block the open, a device would be written to or replaced: neither is a list.
      if (!S_ISREG(old.st_mode)) throw NotPlainFileError();
      // Refuse a file that may not be written before anything is written.
      Descriptor probe(
          Os().open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0));
      if (probe.Get() < 0) ThrowErrno();
      struct stat opened {};
      if (fstat(probe.Get(), &opened) != 0) ThrowErrno();
      if (!S_ISREG(opened.st_mode)) throw NotPlainFileError();  // put there since the check above
      probe.Close();
    }
    std::string temp;
    // A new file is made as the old one was; an old file's owner and mode are carried over after.
    Descriptor file = CreateUniqueBeside(target, exists ? 0600 : 0666, temp);
    try {
      if (exists) {
        // Only root may give a file away; anyone else keeps the file as theirs.
        Os().fchown(file.Get(), old.st_uid, old.st_gid);
        if (Os().fchmod(file.Get(), old.st_mode & 07777) != 0) ThrowErrno();
      }
      WriteAll(file.Get(), bytes);
      if (Os().fsync(file.Get()) != 0) ThrowErrno();
      file.Close();
      if (Os().rename(temp.c_str(), target.c_str()) != 0) ThrowErrno();
    } catch (const IoError&) {
      Os().unlink(temp.c_str());
      throw;
    }
    // The new name itself on the disk. The file is in place by now; a folder that cannot be synced
    // (some file systems refuse) does not undo that.
    Descriptor folder(Os().open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (folder.Get() >= 0) Os().fsync(folder.Get());
  }

  void CreateFolder(const std::string& name) override {
    // Each folder on the way first; one that cannot be made shows up as the failure of the last.
    for (std::size_t slash = name.find('/', 1); slash != std::string::npos;
         slash = name.find('/', slash + 1)) {
      Os().mkdir(name.substr(0, slash).c_str(), 0777);
    }
    if (Os().mkdir(name.c_str(), 0777) != 0 && errno != EEXIST) ThrowErrno();
  }
};

}  // namespace

FileCalls& PosixFileCalls() {
  static FileCalls calls{[](const char* name, int flags, mode_t mode) { return ::open(name, flags, mode); },
                         ::read,
                         ::write,
                         ::fsync,
                         ::fchmod,
                         ::close,
                         [](const char* name, struct stat* info) { return ::stat(name, info); },
                         [](const char* name, struct stat* info) { return ::lstat(name, info); },
                         ::fchown,
                         ::rename,
                         ::unlink,
                         ::mkdir};
  return calls;
}

FileStore& SystemFiles() {
  static PosixFiles files;
  return files;
}

}  // namespace quarvo
