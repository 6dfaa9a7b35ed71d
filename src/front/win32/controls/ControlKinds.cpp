// The kinds of control: how each is created, and the messages each handles itself.
#include <windows.h>
// The common controls need the declarations of windows.h first.
#include <commctrl.h>

#include <array>

#include "front/win32/controls/ControlInternals.h"

namespace quarvo {

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

// The application object's system menu offers no maximise, move or size, and restore greyed.
void AppCreated(ControlObject& self) {
  HMENU menu = GetSystemMenu(self.handle, FALSE);
  for (UINT command : {UINT{SC_MAXIMIZE}, UINT{SC_MOVE}, UINT{SC_SIZE}}) {
    DeleteMenu(menu, command, MF_BYCOMMAND);
  }
  EnableMenuItem(menu, SC_RESTORE, MF_BYCOMMAND | MF_GRAYED);
}

bool EraseBackground(ControlObject& self, ControlMessage& message) {
  if (message.message != WM_ERASEBKGND) return false;
  RECT client;
  GetClientRect(message.window, &client);
  FillRect(reinterpret_cast<HDC>(message.wParam), &client, BackBrush(self));
  message.result = 1;
  return true;
}

// Closing from the taskbar button goes through the main window's own close handling.
bool AppMessage(ControlObject& self, ControlMessage& message) {
  if (message.message == WM_SYSCOMMAND && (message.wParam & 0xFFF0) == SC_CLOSE) {
    if (Layer().mainWindow != nullptr && Layer().mainWindow->handle != nullptr) {
      PostMessageW(Layer().mainWindow->handle, WM_CLOSE, 0, 0);
      return true;
    }
  }
  return EraseBackground(self, message);
}

// Minimising the main window minimises the application object, which hides the windows it owns.
bool FormMessage(ControlObject& self, ControlMessage& message) {
  if (message.message == WM_SYSCOMMAND && (message.wParam & 0xFFF0) == SC_MINIMIZE &&
      &self == Layer().mainWindow && Layer().app != nullptr && Layer().app->handle != nullptr) {
    SendMessageW(Layer().app->handle, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    return true;
  }
  return EraseBackground(self, message);
}

// A double click counts as a second click.
bool ButtonCommand(ControlObject& self, ControlMessage& message) {
  const UINT code = HIWORD(message.wParam);
  if (message.message != WM_COMMAND || (code != BN_CLICKED && code != BN_DBLCLK)) return false;
  SetFocus(self.handle);
  if (self.ClickEvent) self.ClickEvent(&self);
  return true;
}

// clang-format off
const std::array<KindInfo, 7> kKinds{{
    {ControlKind::App, L"App", nullptr, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
     WS_EX_APPWINDOW, 0, 0, {}, false, AppCreated, AppMessage, nullptr},
    {ControlKind::Form, L"Form", nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
     0, -1, -1, {}, false, nullptr, FormMessage, nullptr},
    {ControlKind::GroupBox, L"BUTTON", L"BUTTON", kChild | BS_GROUPBOX, WS_EX_CONTROLPARENT, 100, 100,
     {22, 2, 2, 2}, false, nullptr, nullptr, nullptr},
    {ControlKind::Label, L"STATIC", L"STATIC", kChild | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY, 0, 64, 22,
     {}, true, nullptr, nullptr, PaintColors},
    {ControlKind::EditBox, L"EDIT", L"EDIT", kChild | WS_TABSTOP | ES_AUTOHSCROLL | ES_AUTOVSCROLL,
     WS_EX_CLIENTEDGE, 100, 22, {}, false, nullptr, nullptr, PaintColors},
    {ControlKind::Button, L"BUTTON", L"BUTTON", kChild | WS_TABSTOP | BS_PUSHLIKE | BS_NOTIFY, 0, 64, 22, {},
     false, nullptr, nullptr, ButtonCommand},
    {ControlKind::ReportList, L"SysListView32", WC_LISTVIEWW, kChild | WS_TABSTOP | LVS_SHAREIMAGELISTS,
     WS_EX_CLIENTEDGE, 200, 150, {}, false, ReportListCreated, ReportListMessage, ReportListNotify},
}};
// clang-format on

struct ClassRecord {
  bool registered = false;
  WNDPROC baseProc = DefWindowProcW;
  std::wstring name;
};

ClassRecord& RecordOf(const KindInfo& kind) {
  static std::array<ClassRecord, kKinds.size()> records;
  return records[static_cast<std::size_t>(kind.id)];
}

}  // namespace

const KindInfo& KindOf(ControlKind kind) {
  return kKinds[static_cast<std::size_t>(kind)];
}

bool IsTopLevel(const ControlObject& control) {
  return control.kind.id == ControlKind::App || control.kind.id == ControlKind::Form;
}

// Controls are superclasses of the platform's classes: the layer's window procedure sees every
// message first and hands the rest to the platform class's own procedure.
const wchar_t* WindowClassOf(const KindInfo& kind) {
  ClassRecord& record = RecordOf(kind);
  if (record.registered) return record.name.c_str();
  record.name = std::wstring(L"obj_") + kind.baseName;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (kind.platformClass != nullptr) {
    // Another kind may have registered the same class already (group box and button).
    if (!GetClassInfoExW(nullptr, kind.platformClass, &wc)) return record.name.c_str();
    record.baseProc = wc.lpfnWndProc;
    wc.cbSize = sizeof wc;
  } else {
    wc.style = CS_DBLCLKS;
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  }
  wc.lpfnWndProc = ControlWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = record.name.c_str();
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (!GetClassInfoExW(instance, wc.lpszClassName, &existing)) RegisterClassExW(&wc);
  record.registered = true;
  return record.name.c_str();
}

WNDPROC BaseProcOf(const KindInfo& kind) {
  return RecordOf(kind).baseProc;
}

}  // namespace quarvo
