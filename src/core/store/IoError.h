// The error of a failed open, read, write or close of a file: a code and the message chosen by it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace quarvo {

// The codes the file layers map the platform's failures to.
namespace io_code {
inline constexpr int kFileNotFound = 2;
inline constexpr int kBadFileName = 3;
inline constexpr int kTooManyFiles = 4;
inline constexpr int kAccessDenied = 5;
// The platform's code for memory that ran out (shown as "I/O error 8"); also the code of a file too
// large to load (TooLargeError).
inline constexpr int kNotEnoughMemory = 8;
inline constexpr int kReadPastEnd = 100;
inline constexpr int kDiskFull = 101;
inline constexpr int kBadNumber = 106;
}  // namespace io_code

class IoError : public std::runtime_error {
 public:
  explicit IoError(int code);
  int Code() const noexcept { return code_; }

 protected:
  IoError(int code, const std::string& message);

 private:
  int code_;
};

// A file refused because it passes one of the program's limits, by its bytes or its lines. Its
// message says so: "列表文件太大，未载入：<found> 字节（上限 <limit> 字节）", or the same in lines (行).
class TooLargeError : public IoError {
 public:
  enum class Unit { Bytes, Lines };
  TooLargeError(Unit unit, std::uint64_t found, std::uint64_t limit);
  Unit unit;
  std::uint64_t found;  // at least this many: a file that grows while it is read stops at the limit
  std::uint64_t limit;
};

// A name that is there but is no plain file (a pipe, a device, a socket): never opened for writing,
// nor waited on for reading. Its code is that of access denied; its message "列表文件不是普通文件!".
class NotPlainFileError : public IoError {
 public:
  NotPlainFileError();
};

// "File not found", "文件名无效!", ... for the known codes; "I/O error <code>" for any other.
std::string IoErrorMessage(int code);

}  // namespace quarvo
