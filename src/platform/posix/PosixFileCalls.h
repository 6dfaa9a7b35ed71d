// The system calls behind the files of builds without the Windows API. They start as the system's
// own functions; a test replaces one to make a single step fail as the system would.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include "platform/System.h"

namespace quarvo {

struct FileCalls {
  int (*open)(const char* name, int flags, mode_t mode);
  ssize_t (*read)(int fd, void* buffer, size_t size);
  ssize_t (*write)(int fd, const void* bytes, size_t size);
  int (*fsync)(int fd);
  int (*fchmod)(int fd, mode_t mode);
  int (*close)(int fd);
  int (*stat)(const char* name, struct stat* info);
  int (*lstat)(const char* name, struct stat* info);
  int (*fchown)(int fd, uid_t owner, gid_t group);
  int (*rename)(const char* from, const char* to);
  int (*unlink)(const char* name);
  int (*mkdir)(const char* name, mode_t mode);
};

// The calls SystemFiles makes.
FileCalls& PosixFileCalls();

}  // namespace quarvo
