// The error of a failed open, read, write or close of a file: a code and the message chosen by it.
#pragma once

#include <stdexcept>
#include <string>

namespace quarvo {

// The codes the file layers map the platform's failures to.
namespace io_code {
inline constexpr int kFileNotFound = 2;
inline constexpr int kBadFileName = 3;
inline constexpr int kTooManyFiles = 4;
inline constexpr int kAccessDenied = 5;
// The platform's code for memory that ran out (shown as "I/O error 8"); also given for a file too
// large to load.
inline constexpr int kNotEnoughMemory = 8;
inline constexpr int kReadPastEnd = 100;
inline constexpr int kDiskFull = 101;
inline constexpr int kBadNumber = 106;
}  // namespace io_code

class IoError : public std::runtime_error {
 public:
  explicit IoError(int code);
  int Code() const noexcept { return code_; }

 private:
  int code_;
};

// "File not found", "文件名无效!", ... for the known codes; "I/O error <code>" for any other.
std::string IoErrorMessage(int code);

}  // namespace quarvo
