// Texts of controls, from any thread.
//
// The stored text is guarded by the control's own lock, held only to copy a string, never while
// waiting for another thread. The window's text is written and read only on the thread that owns
// the window: other threads send it a request and wait (SendMessage), and since the window copies
// the stored text when it handles the request, the window ends up showing the text stored last,
// whatever order concurrent requests arrive in.
#include "ui/controls/ControlInternals.h"
#include "ui/controls/WideText.h"

namespace quarvo {

void SetControlText(ControlObject* control, const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(control->textLock);
    control->text = text;
  }
  HWND window = control->handle;
  if (window != nullptr) SendMessageW(window, kApplyTextMessage, 0, 0);
}

std::string GetControlText(ControlObject* control) {
  std::string text;
  HWND window = control->handle;
  if (window != nullptr && SendMessageW(window, kCaptureTextMessage, 0, reinterpret_cast<LPARAM>(&text))) {
    return text;
  }
  std::lock_guard<std::mutex> lock(control->textLock);
  return control->text;
}

bool HandleTextMessage(ControlObject& self, ControlMessage& message) {
  if (message.message == kApplyTextMessage) {
    std::wstring wide;
    {
      std::lock_guard<std::mutex> lock(self.textLock);
      wide = WideFromCp936(self.text);
    }
    SetWindowTextW(message.window, wide.c_str());
    // A label does not erase its old text itself.
    if (self.kind.eraseOnText) InvalidateRect(message.window, nullptr, TRUE);
    return true;
  }
  // Reads what the window shows (the user may have typed) into the stored text.
  std::wstring wide(static_cast<std::size_t>(GetWindowTextLengthW(message.window)) + 1, L'\0');
  wide.resize(
      static_cast<std::size_t>(GetWindowTextW(message.window, wide.data(), static_cast<int>(wide.size()))));
  std::string text = Cp936FromWide(wide);
  {
    std::lock_guard<std::mutex> lock(self.textLock);
    self.text = text;
  }
  *reinterpret_cast<std::string*>(message.lParam) = std::move(text);
  message.result = 1;
  return true;
}

}  // namespace quarvo
