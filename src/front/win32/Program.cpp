// Start-up and shutdown: the application object, the main window built hidden and filled with the
// saved range, the message loop, and the end of the process.
#include <windows.h>

#include <fstream>
#include <sstream>

#include "front/win32/AppPorts.h"
#include "front/win32/WinDialogs.h"
#include "front/win32/controls/ReportList.h"
#include "net/WakeSocket.h"
#include "platform/System.h"
#include "platform/win/SendArpProbe.h"
#include "text/Cp936Texts.h"
#include "vendor/VendorRegistry.h"

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

std::wstring WideFromUtf8(const std::string& text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0)
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// With an oui.csv of the IEEE beside the program (and its other registries, where present), the MAC
// cells' tooltips name the vendor; without it nothing changes. The files are read at the first tooltip.
void ShowVendorsIfPresent(ControlObject* list) {
  std::wstring folder(MAX_PATH, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, folder.data(), static_cast<DWORD>(folder.size()));
  if (length == 0 || length >= folder.size()) return;
  folder.resize(length);
  folder.erase(folder.find_last_of(L"\\/") + 1);
  if (GetFileAttributesW((folder + L"oui.csv").c_str()) == INVALID_FILE_ATTRIBUTES) return;
  static VendorNames vendors({""}, [folder](const std::string& name) -> std::optional<std::string> {
    std::ifstream file((folder + std::wstring(name.begin(), name.end())).c_str(), std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
  });
  SetCellTip(list, ColMac, [](const std::string& mac) {
    const VendorAnswer answer = vendors.Lookup(mac);
    if (answer.kind == VendorAnswer::Local) return std::wstring(L"随机或本地地址");
    return answer.kind == VendorAnswer::Vendor ? WideFromUtf8(answer.name) : std::wstring();
  });
}

}  // namespace

int RunProgram() {
  auto* program = new Program;  // never freed: see Program
  MainControls& c = Controls();
  c.AppWindow = CreateAppWindow(texts::kAppCaption);
  SetWindowExStyle(c.AppWindow, 0);
  BuildMainWindow(program->table, program->commands);
  ShowVendorsIfPresent(c.ResultsTable);
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
