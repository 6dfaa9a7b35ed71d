#include "ui/app/WinDialogs.h"

#include "text/Cp936Texts.h"

namespace quarvo {

namespace {

constexpr UINT kCodePage = 936;

int Box(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  return MessageBoxW(owner, WideFromCp936(text).c_str(), WideFromCp936(caption).c_str(), type);
}

}  // namespace

std::wstring WideFromCp936(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(kCodePage, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(kCodePage, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Cp936FromWide(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(kCodePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(kCodePage, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

bool WinDialogs::AskYesNo(const std::string& text, const std::string& caption) {
  return Box(owner_(), text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void WinDialogs::ShowError(const std::string& text) { Box(owner_(), text, texts::kAppCaption, MB_OK | MB_ICONERROR); }

void WinDialogs::ShowMessage(const std::string& text, const std::string& caption) {
  Box(owner_(), text, caption, MB_OK);
}

}  // namespace quarvo
