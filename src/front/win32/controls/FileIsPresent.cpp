#include <windows.h>

#include "front/win32/controls/ControlObject.h"
#include "front/win32/controls/WideText.h"

namespace quarvo {

bool FileIsPresent(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WideFromCp936(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace quarvo
