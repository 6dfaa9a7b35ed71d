// The platform functions behind the files on Windows. They start as the platform's own functions;
// a test replaces one to make a single step fail as the platform would (SetLastError and failure).
#pragma once

#include <windows.h>

#include "platform/System.h"

namespace quarvo {

struct FileCalls {
  decltype(&CreateFileW) createFile;
  decltype(&ReadFile) readFile;
  decltype(&WriteFile) writeFile;
  decltype(&FlushFileBuffers) flushFileBuffers;
  decltype(&CloseHandle) closeHandle;
  decltype(&GetFileAttributesW) getFileAttributes;
  decltype(&MoveFileExW) moveFile;
  decltype(&DeleteFileW) deleteFile;
  decltype(&CreateDirectoryW) createDirectory;
};

// The calls SystemFiles makes.
FileCalls& WinFileCalls();

}  // namespace quarvo
