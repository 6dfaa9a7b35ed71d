// The seams of the runs and handlers, served by the main window's controls.
#pragma once

#include "app/Commands.h"
#include "app/FileCommands.h"
#include "front/win32/MainWindow.h"
#include "sys/WindowPort.h"

namespace quarvo {

// Texts of the main window's controls, from any thread.
class ControlWindowPort final : public WindowPort {
 public:
  std::string GetText(UiText control) override;
  void SetText(UiText control, const std::string& text) override;
};

class WinShell final : public Shell {
 public:
  void ShowListMenuAtCursor() override;
  void PostCloseRequest() override;
};

}  // namespace quarvo
