// The files on Windows, through the wide-character file functions.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cwchar>

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

// Other programs may read the file meanwhile, nothing else. A save's own opens also let another
// save put its new file in the old one's place meanwhile, so that saves at the same time do not
// fail one another.
HANDLE Open(const std::wstring& name, DWORD access, DWORD disposition, DWORD share = FILE_SHARE_READ) {
  return Os().createFile(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}
constexpr DWORD kShareWithSaves = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr int kMoveAttempts = 200;
constexpr DWORD kMovePauseMs = 10;

// Only a file on a disk is a list: a device (NUL, COM1, a console) or a pipe of that name is none.
void RequirePlainFile(HANDLE file) {
  if (GetFileType(file) != FILE_TYPE_DISK) throw NotPlainFileError();
}

// The file a link leads to, for a list that is a link; the temporary file goes beside that file.
std::wstring FinalName(HANDLE file, const std::wstring& name) {
  wchar_t path[MAX_PATH + 8];
  const DWORD length = GetFinalPathNameByHandleW(file, path, MAX_PATH + 8, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= MAX_PATH + 8) return name;
  return std::wstring(path, length);
}

// A new file of a name no other save uses, beside `target`.
HANDLE CreateUniqueBeside(const std::wstring& target, std::wstring& temp) {
  static std::atomic<unsigned> counter{0};
  const unsigned process = GetCurrentProcessId();
  for (int attempt = 0;; ++attempt) {
    wchar_t suffix[40];
    swprintf(suffix, 40, L".%x%x.new", process, counter++);
    temp = target + suffix;
    const HANDLE file = Open(temp, GENERIC_WRITE, CREATE_NEW);
    const DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE || (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) ||
        attempt == 100) {
      SetLastError(error);
      return file;
    }
  }
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
    // Saves meanwhile are let through: they only ever put a whole new file in the old one's place.
    Handle file(Open(WideOrThrow(name), GENERIC_READ, OPEN_EXISTING, kShareWithSaves));
    if (!file.Valid()) ThrowLastError();
    RequirePlainFile(file.Get());
    std::string bytes;
    // A size that cannot be learned is no failure: the reading below keeps to the limit too.
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.Get(), &size)) {
      const auto total = static_cast<unsigned long long>(size.QuadPart);
      if (total > limit) throw TooLargeError(TooLargeError::Unit::Bytes, total, limit);
      bytes.reserve(static_cast<std::size_t>(total));
    }
    char buffer[64 * 1024];
    for (;;) {
      DWORD got = 0;
      if (!Os().readFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) ThrowLastError();
      if (got == 0) break;
      if (got > limit - bytes.size())
        throw TooLargeError(TooLargeError::Unit::Bytes, bytes.size() + got, limit);
      bytes.append(buffer, got);
    }
    file.Close();
    return bytes;
  }

  void Replace(const std::string& name, const std::string& bytes) override {
    std::wstring target = WideOrThrow(name);
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
      if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        throw IoError(io_code::kAccessDenied);
      if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) throw NotPlainFileError();
      // What the name is, learned through an open that neither reads nor writes.
      Handle query(Open(target, 0, OPEN_EXISTING, kShareWithSaves));
      if (!query.Valid()) ThrowLastError();
      RequirePlainFile(query.Get());
      if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) target = FinalName(query.Get(), target);
      query.Close();
      Handle probe(Open(target, GENERIC_WRITE, OPEN_EXISTING, kShareWithSaves));
      if (!probe.Valid()) ThrowLastError();
      probe.Close();
    }
    std::wstring temp;
    try {
      Handle file(CreateUniqueBeside(target, temp));
      if (!file.Valid()) {
        temp.clear();  // nothing was made
        ThrowLastError();
      }
      WriteAll(file.Get(), bytes);
      if (!Os().flushFileBuffers(file.Get())) ThrowLastError();
      file.Close();
      // The old file cannot be replaced while another save or a load has it open, which lasts
      // moments: the move is tried again for a while before it counts as refused.
      for (int attempt = 0;
           !Os().moveFile(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
           ++attempt) {
        const DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == kMoveAttempts)
          ThrowLastError();
        Sleep(kMovePauseMs);
      }
    } catch (const IoError&) {
      if (!temp.empty()) Os().deleteFile(temp.c_str());
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
