// Start-up and shutdown: the application object, the main window built hidden and filled with the
// saved range, the message loop, and the end of the process.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <typeinfo>

#include "net/WakeSocket.h"
#include "net/win/SendArpProbe.h"
#include "store/IoError.h"
#include "text/Cp936Texts.h"
#include "text/TextHelpers.h"
#include "ui/app/AppPorts.h"
#include "ui/app/WinDialogs.h"
#include "ui/controls/WideText.h"

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

const char* ClassNameOf(const std::exception& error) {
  if (dynamic_cast<const ConversionError*>(&error) != nullptr) return "ConversionError";
  if (dynamic_cast<const IoError*>(&error) != nullptr) return "IoError";
  return "Exception";
}

}  // namespace

void LastResort(const std::exception& error) {
  wchar_t module[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  const wchar_t* name = wcsrchr(module, L'\\');
  const std::string message = error.what();
  const bool fullStop = !message.empty() && message.back() == '.';
  char text[1024];
  std::snprintf(text, sizeof text, "Exception %s in module %s at %p.\r\n%s%s\r\n", ClassNameOf(error),
                Cp936FromWide(name != nullptr ? name + 1 : module).c_str(),
                static_cast<const void*>(&error), message.c_str(), fullStop ? "" : ".");
  MessageBoxW(nullptr, WideFromCp936(text).c_str(), L"Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  ExitProcess(1);
}

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
