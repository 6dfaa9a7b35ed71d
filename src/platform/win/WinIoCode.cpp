#include "platform/win/WinIoCode.h"

#include <windows.h>

#include "store/IoError.h"

namespace quarvo {

int IoCodeOfWin32Error(unsigned long error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return io_code::kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return io_code::kBadFileName;
    case ERROR_TOO_MANY_OPEN_FILES:
      return io_code::kTooManyFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return io_code::kAccessDenied;
    case ERROR_HANDLE_EOF:
      return io_code::kReadPastEnd;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return io_code::kDiskFull;
    default:
      return static_cast<int>(error);
  }
}

}  // namespace quarvo
