#include "front/win32/WinDialogs.h"

#include "front/win32/controls/WideText.h"
#include "text/Cp936Texts.h"

namespace quarvo {

namespace {

int Box(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  return MessageBoxW(owner, WideFromCp936(text).c_str(), WideFromCp936(caption).c_str(), type);
}

}  // namespace

bool WinDialogs::AskYesNo(const std::string& text, const std::string& caption) {
  return Box(owner_(), text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void WinDialogs::ShowError(const std::string& text) {
  Box(owner_(), text, texts::kAppCaption, MB_OK | MB_ICONERROR);
}

void WinDialogs::ShowMessage(const std::string& text, const std::string& caption) {
  Box(owner_(), text, caption, MB_OK);
}

}  // namespace quarvo
