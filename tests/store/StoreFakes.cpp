#include "StoreFakes.h"

#include "store/IoError.h"

namespace quarvo::testing {

bool FakeDialogs::AskYesNo(const std::string& text, const std::string& caption) {
  questions.push_back(text + "|" + caption);
  return answer;
}

std::string MemoryFiles::ReadAll(const std::string& name) {
  if (failRead.count(name)) throw IoError(failRead[name]);
  if (!files.count(name)) throw IoError(io_code::kFileNotFound);
  return files[name];
}

void MemoryFiles::Replace(const std::string& name, const std::string& bytes) {
  if (whileReplacing) whileReplacing(name);
  if (failReplace.count(name)) throw IoError(failReplace[name]);
  files[name] = bytes;
}

void MemoryFiles::CreateFolder(const std::string& name) {
  folders.push_back(name);
}

int IoCodeOf(const std::function<void()>& step) {
  try {
    step();
  } catch (const IoError& error) {
    return error.Code();
  }
  return 0;
}

}  // namespace quarvo::testing
