// Texts of controls, from any thread.
//
// The stored text is guarded by the control's own lock, held only to copy a string, never while
// waiting for another thread. The window's text is written and read only on the thread that owns
// the window. A write from another thread stores the text and posts one request to show it, unless
// a request is already on its way: a scan's thousand workers writing the caption never wait for
// the user-interface thread, and however many texts arrive between two requests, the window shows
// the one stored last, at most one text every kTextIntervalMs, so that a stream of texts does not
// keep the user-interface thread busy. A read from another thread waits for the window (SendMessage), first
// showing a stored text that is still on its way, so it never reads an older text back.
#include "front/win32/controls/ControlInternals.h"
#include "front/win32/controls/WideText.h"

namespace quarvo {

namespace {

constexpr DWORD kTextIntervalMs = 250;
constexpr UINT_PTR kTextTimer = 0x7E47;

bool OwnsWindow(HWND window) {
  return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

// Shows the stored text; on the window's own thread.
void ApplyStoredText(ControlObject& self, HWND window) {
  self.textShownAt = GetTickCount();
  self.textPending = false;  // before the copy: a text stored after it posts a new request
  std::wstring wide;
  {
    std::lock_guard<std::mutex> lock(self.textLock);
    wide = WideFromCp936(self.text);
  }
  SetWindowTextW(window, wide.c_str());
  // A label does not erase its old text itself.
  if (self.kind.eraseOnText) InvalidateRect(window, nullptr, TRUE);
}

}  // namespace

void SetControlText(ControlObject* control, const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(control->textLock);
    control->text = text;
  }
  HWND window = control->handle;
  if (window == nullptr) return;
  if (OwnsWindow(window)) {
    ApplyStoredText(*control, window);
  } else if (!control->textPending.exchange(true) && !PostMessageW(window, kApplyTextMessage, 0, 0)) {
    control->textPending = false;  // the window is gone or its queue is full: the next write posts again
  }
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

bool IsTextTimer(const ControlMessage& message) {
  return message.message == WM_TIMER && message.wParam == kTextTimer;
}

bool HandleTextMessage(ControlObject& self, ControlMessage& message) {
  if (message.message == kApplyTextMessage || message.message == WM_TIMER) {
    if (message.message == WM_TIMER) KillTimer(message.window, kTextTimer);
    const DWORD since = GetTickCount() - self.textShownAt;
    if (!self.textPending) return true;
    // Too soon after the last one: shown when the interval is over, with whatever is stored then.
    if (since < kTextIntervalMs &&
        SetTimer(message.window, kTextTimer, kTextIntervalMs - since, nullptr) != 0) {
      return true;
    }
    ApplyStoredText(self, message.window);
    return true;
  }
  if (self.textPending) ApplyStoredText(self, message.window);
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
