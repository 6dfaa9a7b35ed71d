#pragma once

#include <windows.h>

#include <functional>

#include "sys/Dialogs.h"

namespace quarvo {

// Message boxes through the wide-character API, with the texts converted from code page 936, owned
// by the window that `owner` returns at the moment a box opens.
class WinDialogs final : public Dialogs {
 public:
  explicit WinDialogs(std::function<HWND()> owner) : owner_(std::move(owner)) {}
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  void ShowError(const std::string& text) override;
  void ShowMessage(const std::string& text, const std::string& caption) override;

 private:
  std::function<HWND()> owner_;
};

}  // namespace quarvo
