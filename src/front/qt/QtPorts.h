// The seams of the runs and handlers, served by the Qt window.
#pragma once

#include <QPointer>
#include <QThread>
#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "app/Commands.h"
#include "front/qt/MainWindow.h"
#include "front/qt/UiBatcher.h"
#include "sys/Dialogs.h"
#include "sys/WindowPort.h"

namespace quarvo {

// Texts of the window's controls, from any thread.
//
// The port holds each control's text (code-page-936 bytes) under its own lock, held only to copy a
// string: a read from any thread returns it at once, and a worker never waits for the window. The
// user's typing reaches it as the user types. A write on the user-interface thread is shown at
// once; a write from another thread is shown at the next catch-up of the batcher, with whatever
// text is stored last by then.
class QtWindowPort final : public WindowPort {
 public:
  explicit QtWindowPort(UiBatcher& batcher) : batcher_(batcher) {}

  // User-interface thread: from now on the texts are those of this window's controls.
  void Attach(MainWindow* window);
  std::string GetText(UiText control) override;
  void SetText(UiText control, const std::string& text) override;
  // User-interface thread: shows the texts written by other threads since the last catch-up.
  void CatchUp();
  // Shown after the status line in the title bar (UTF-8), e.g. which ARP engine scans.
  void SetTitleNote(const std::string& utf8);
  // Asked for more of the title bar (UTF-8) whenever the status line is shown, with that line;
  // any thread may be the caller's.
  void SetCaptionNote(std::function<std::string(const std::string& caption)> note);

 private:
  static constexpr std::size_t kControls = 6;
  void Show(UiText control);  // user-interface thread

  UiBatcher& batcher_;
  QPointer<MainWindow> window_;  // used on the user-interface thread only
  std::atomic<QThread*> uiThread_{nullptr};
  std::mutex mutex_;
  std::array<std::string, kControls> texts_;
  std::array<bool, kControls> pending_{};
  std::string titleNote_;
  std::function<std::string(const std::string&)> captionNote_;  // set before the window shows
};

// Message boxes owned by the main window.
class QtDialogs final : public Dialogs {
 public:
  explicit QtDialogs(std::function<QWidget*()> owner) : owner_(std::move(owner)) {}
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  void ShowError(const std::string& text) override;
  void ShowMessage(const std::string& text, const std::string& caption) override;

 private:
  std::function<QWidget*()> owner_;
};

class QtShell final : public Shell {
 public:
  explicit QtShell(std::function<MainWindow*()> window) : window_(std::move(window)) {}
  void ShowListMenuAtCursor() override;
  void PostCloseRequest() override;

 private:
  std::function<MainWindow*()> window_;
};

}  // namespace quarvo
