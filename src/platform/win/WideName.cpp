#include "platform/win/WideName.h"

#include <windows.h>

namespace quarvo {

namespace {

constexpr UINT kCodePage = 936;

}  // namespace

bool WideName(const std::string& name, std::wstring& wide) {
  wide.clear();
  if (name.empty()) return true;
  const int length = static_cast<int>(name.size());
  const int needed = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, name.data(), length, nullptr, 0);
  if (needed <= 0) return false;
  wide.resize(static_cast<std::size_t>(needed));
  return MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, name.data(), length, wide.data(), needed) ==
         needed;
}

bool NarrowName(const std::wstring& wide, std::string& name) {
  name.clear();
  if (wide.empty()) return true;
  const int length = static_cast<int>(wide.size());
  BOOL lossy = FALSE;
  const int needed =
      WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0, nullptr, &lossy);
  if (needed <= 0 || lossy) return false;
  name.resize(static_cast<std::size_t>(needed));
  return WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), length, name.data(), needed,
                             nullptr, &lossy) == needed &&
         !lossy;
}

}  // namespace quarvo
