#include "store/IoError.h"

#include "text/Cp936Texts.h"
#include "text/TextHelpers.h"

namespace quarvo {

IoError::IoError(int code) : std::runtime_error(IoErrorMessage(code)), code_(code) {}

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
