// Start-up and shutdown: the application object, the main window built hidden and filled with the
// saved range, the message loop, and the end of the process.
#include <windows.h>

#include "front/win32/AppPorts.h"
#include "front/win32/WinDialogs.h"
#include "net/WakeSocket.h"
#include "platform/System.h"
#include "platform/win/SendArpProbe.h"
#include "text/Cp936Texts.h"

namespace quarvo {

namespace {

// Everything the runs and handlers share lives until the process ends: worker threads that are still
// running when the window closes end with the process and must never find these objects gone.
struct Program {
  RunState state;
  ResultsTable table;
  SendArpProbe arp;
  ControlWindowPort window;
  RunContext run{state, table, window, SystemClock(), SystemThreads(), arp};
  WinDialogs dialogs{[] { return WindowHandle(Controls().MainForm); }};
  PersistenceContext persistence{run, dialogs, SystemFiles(), SystemProfile()};
  FileCommands files{persistence};
  WinShell shell;
  CommandContext commands{run, dialogs, files, SystemWakeSocket(), shell};
};

}  // namespace

int RunProgram() {
  auto* program = new Program;  // never freed: see Program
  MainControls& c = Controls();
  c.AppWindow = CreateAppWindow(texts::kAppCaption);
  SetWindowExStyle(c.AppWindow, 0);
  BuildMainWindow(program->table, program->commands);
  LoadSettings(program->persistence);
  SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
  RunMessageLoop(c.AppWindow);
  return 0;
}

}  // namespace quarvo

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    return quarvo::RunProgram();
  } catch (const std::exception& error) {
    quarvo::LastResort(error);
  }
}
