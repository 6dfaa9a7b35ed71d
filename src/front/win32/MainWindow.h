// The main window: its controls, held process-wide under their names, and how they are built and
// wired to the handlers.
#pragma once

#include "app/Commands.h"
#include "front/win32/controls/ControlObject.h"
#include "model/ResultsTable.h"

namespace quarvo {

struct MainControls {
  ControlObject* AppWindow = nullptr;
  ControlObject* MainForm = nullptr;
  ControlObject* RangePanel = nullptr;
  ControlObject* DirectionLabel = nullptr;
  ControlObject* StartIpEdit = nullptr;
  ControlObject* EndIpEdit = nullptr;
  ControlObject* ThreadsEdit = nullptr;
  ControlObject* StartStopButton = nullptr;
  ControlObject* ClearButton = nullptr;
  ControlObject* ListPanel = nullptr;
  ControlObject* ResultsTable = nullptr;
  MenuObject* ListMenu = nullptr;
};

// The program's controls; filled by BuildMainWindow.
MainControls& Controls();

// Builds the main window under Controls().AppWindow, hidden, shows `table` in its list and binds
// every event to its handler with `commands`.
void BuildMainWindow(ResultsTable& table, CommandContext& commands);
void BuildRangePanel(CommandContext& commands);
void BuildListPanel(ResultsTable& table, CommandContext& commands);
void BuildListMenu(CommandContext& commands);

// Runs a handler; an exception that nothing else caught ends the program with the error box.
template <class F>
void Guarded(F&& handler);

[[noreturn]] void LastResort(const std::exception& error);

template <class F>
void Guarded(F&& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    LastResort(error);
  }
}

}  // namespace quarvo
