// The seams of the runs and handlers, served by the main window's controls.
#pragma once

#include "app/Commands.h"
#include "app/Persistence.h"
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

class FileCommands final : public ListFiles {
 public:
  explicit FileCommands(PersistenceContext& context) : context_(context) {}
  void Save() override { SaveListOnRequest(context_); }
  void Load() override { LoadList(context_); }
  bool SaveOnClose() override { return quarvo::SaveOnClose(context_); }

 private:
  PersistenceContext& context_;
};

}  // namespace quarvo
