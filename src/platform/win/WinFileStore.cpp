// The files on Windows, through the wide-character file functions.
#include <windows.h>

#include <algorithm>

#include "platform/System.h"
#include "platform/win/WideName.h"
#include "platform/win/WinFileCalls.h"
#include "platform/win/WinIoCode.h"
#include "store/FileStore.h"
#include "store/IoError.h"

namespace quarvo {

namespace {

FileCalls& Os() {
  return WinFileCalls();
}

[[noreturn]] void ThrowLastError() {
  throw IoError(IoCodeOfWin32Error(GetLastError()));
}

std::wstring WideOrThrow(const std::string& name) {
  std::wstring wide;
  if (!WideName(name, wide)) throw IoError(io_code::kBadFileName);
  return wide;
}

// Closes the handle when it goes out of scope without Close.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) Os().closeHandle(handle_);
  }
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (!Os().closeHandle(handle)) ThrowLastError();
  }

 private:
  HANDLE handle_;
};

// Opened as the results file always was: other programs may read it meanwhile, nothing else.
HANDLE Open(const std::wstring& name, DWORD access, DWORD disposition) {
  return Os().createFile(name.c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
}

void WriteAll(HANDLE file, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t chunk = std::min<std::size_t>(bytes.size() - done, 1u << 20);
    DWORD written = 0;
    if (!Os().writeFile(file, bytes.data() + done, static_cast<DWORD>(chunk), &written, nullptr))
      ThrowLastError();
    if (written == 0) throw IoError(io_code::kDiskFull);
    done += written;
  }
}

class WinFiles final : public FileStore {
 public:
  bool IsPresent(const std::string& name) override {
    std::wstring wide;
    if (!WideName(name, wide)) return false;
    const DWORD attributes = Os().getFileAttributes(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  std::string ReadAll(const std::string& name, std::size_t limit) override {
    Handle file(Open(WideOrThrow(name), GENERIC_READ, OPEN_EXISTING));
    if (!file.Valid()) ThrowLastError();
    std::string bytes;
    // A size that cannot be learned is no failure: the reading below keeps to the limit too.
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.Get(), &size)) {
      if (static_cast<unsigned long long>(size.QuadPart) > limit) throw IoError(io_code::kNotEnoughMemory);
      bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    }
    char buffer[64 * 1024];
    for (;;) {
      DWORD got = 0;
      if (!Os().readFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) ThrowLastError();
      if (got == 0) break;
      if (got > limit - bytes.size()) throw IoError(io_code::kNotEnoughMemory);
      bytes.append(buffer, got);
    }
    file.Close();
    return bytes;
  }

  void Replace(const std::string& name, const std::string& bytes) override {
    const std::wstring target = WideOrThrow(name);
    const DWORD attributes = Os().getFileAttributes(target.c_str());
    // Only a missing file may be created; a file whose state cannot be learned is not replaced blindly.
    if (attributes == INVALID_FILE_ATTRIBUTES && GetLastError() != ERROR_FILE_NOT_FOUND &&
        GetLastError() != ERROR_PATH_NOT_FOUND) {
      ThrowLastError();
    }
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      // Refuse a file that may not be written (read-only, a folder, locked by another program)
      // before anything is written. The read-only mark is tested by itself too: the new file takes
      // the old one's place by a rename, which does not refuse it everywhere (not under Wine run as
      // root, where opening it for writing succeeds as well).
      if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) throw IoError(io_code::kAccessDenied);
      Handle probe(Open(target, GENERIC_WRITE, OPEN_EXISTING));
      if (!probe.Valid()) ThrowLastError();
      probe.Close();
    }
    const std::wstring temp = target + L".new";
    try {
      Handle file(Open(temp, GENERIC_WRITE, CREATE_ALWAYS));
      if (!file.Valid()) ThrowLastError();
      WriteAll(file.Get(), bytes);
      if (!Os().flushFileBuffers(file.Get())) ThrowLastError();
      file.Close();
      if (!Os().moveFile(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ThrowLastError();
      }
    } catch (const IoError&) {
      Os().deleteFile(temp.c_str());
      throw;
    }
  }

  void CreateFolder(const std::string& name) override {
    const std::wstring wide = WideOrThrow(name);
    // Each folder on the way first; those that cannot be made (a drive, a server's name, a folder
    // the user may not create but that exists) show up as the failure of the last one.
    for (std::size_t at = wide.find_first_of(L"\\/", 1); at != std::wstring::npos;
         at = wide.find_first_of(L"\\/", at + 1)) {
      Os().createDirectory(wide.substr(0, at).c_str(), nullptr);
    }
    if (!Os().createDirectory(wide.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      ThrowLastError();
  }
};

}  // namespace

FileCalls& WinFileCalls() {
  static FileCalls calls{CreateFileW,        ReadFile,    WriteFile,   FlushFileBuffers, CloseHandle,
                         GetFileAttributesW, MoveFileExW, DeleteFileW, CreateDirectoryW};
  return calls;
}

FileStore& SystemFiles() {
  static WinFiles files;
  return files;
}

}  // namespace quarvo
