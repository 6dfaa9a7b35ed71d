#include "store/IoError.h"

#include "text/Cp936Texts.h"
#include "text/TextHelpers.h"

namespace quarvo {

IoError::IoError(int code) : std::runtime_error(IoErrorMessage(code)), code_(code) {}

IoError::IoError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}

namespace {

std::string TooLargeMessage(TooLargeError::Unit unit, std::uint64_t found, std::uint64_t limit) {
  const std::string inUnits =
      unit == TooLargeError::Unit::Bytes ? texts::kTooLargeBytes : texts::kTooLargeLines;
  return texts::kTooLarge + std::to_string(found) + inUnits + texts::kTooLargeLimit + std::to_string(limit) +
         inUnits + texts::kTooLargeEnd;
}

}  // namespace

TooLargeError::TooLargeError(Unit unit_, std::uint64_t found_, std::uint64_t limit_)
    : IoError(io_code::kNotEnoughMemory, TooLargeMessage(unit_, found_, limit_)),
      unit(unit_),
      found(found_),
      limit(limit_) {}

NotPlainFileError::NotPlainFileError() : IoError(io_code::kAccessDenied, texts::kNotPlainFile) {}

std::string IoErrorMessage(int code) {
  switch (code) {
    case io_code::kFileNotFound:
      return texts::kIoFileNotFound;
    case io_code::kBadFileName:
      return texts::kIoBadFileName;
    case io_code::kTooManyFiles:
      return texts::kIoTooManyFiles;
    case io_code::kAccessDenied:
      return texts::kIoAccessDenied;
    case io_code::kReadPastEnd:
      return texts::kIoReadPastEnd;
    case io_code::kDiskFull:
      return texts::kIoDiskFull;
    case io_code::kBadNumber:
      return texts::kIoBadNumber;
    default:
      return texts::kIoOtherPrefix + DecimalText(code);
  }
}

}  // namespace quarvo
