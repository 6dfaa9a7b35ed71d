// The files of builds without the Windows API.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

class PosixFiles final : public FileStore {
 public:
  bool IsPresent(const std::string& name) override {
    // Only a regular file can be the list: a folder, a pipe or a device of that name is none.
    struct stat info {};
    return Os().stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  }

  std::string ReadAll(const std::string& name, std::size_t limit) override {
    Descriptor file(Os().open(name.c_str(), O_RDONLY | O_CLOEXEC, 0));
    if (file.Get() < 0) ThrowErrno();
    std::string bytes;
    // A size that cannot be learned is no failure: the reading below keeps to the limit too.
    struct stat info {};
    if (fstat(file.Get(), &info) == 0 && S_ISREG(info.st_mode)) {
      if (static_cast<unsigned long long>(info.st_size) > limit) throw IoError(io_code::kNotEnoughMemory);
      bytes.reserve(static_cast<std::size_t>(info.st_size));
    }
    char buffer[64 * 1024];
    for (;;) {
      const ssize_t got = Os().read(file.Get(), buffer, sizeof buffer);
      if (got < 0) {
        if (errno == EINTR) continue;
        ThrowErrno();
      }
      if (got == 0) break;
      if (static_cast<std::size_t>(got) > limit - bytes.size()) throw IoError(io_code::kNotEnoughMemory);
      bytes.append(buffer, static_cast<std::size_t>(got));
    }
    file.Close();
    return bytes;
  }

  void Replace(const std::string& name, const std::string& bytes) override {
    struct stat old {};
    const bool exists = Os().stat(name.c_str(), &old) == 0;
    // Only a missing file may be created; a file whose state cannot be learned is not replaced blindly.
    if (!exists && errno != ENOENT) ThrowErrno();
    if (exists) {
      if (S_ISDIR(old.st_mode)) throw IoError(io_code::kAccessDenied);
      // Refuse a file that may not be written before anything is written.
      Descriptor probe(Os().open(name.c_str(), O_WRONLY | O_CLOEXEC, 0));
      if (probe.Get() < 0) ThrowErrno();
      probe.Close();
    }
    const std::string temp = name + ".new";
    try {
      Descriptor file(Os().open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
      if (file.Get() < 0) ThrowErrno();
      if (exists) Os().fchmod(file.Get(), old.st_mode & 07777);  // the new file keeps the old one's mode
      WriteAll(file.Get(), bytes);
      if (Os().fsync(file.Get()) != 0) ThrowErrno();
      file.Close();
      if (Os().rename(temp.c_str(), name.c_str()) != 0) ThrowErrno();
    } catch (const IoError&) {
      Os().unlink(temp.c_str());
      throw;
    }
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
