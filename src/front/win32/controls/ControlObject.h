// The program's own thin layer over the Windows controls. Every window and control is a
// ControlObject, every popup menu a MenuObject; the operations below are all that the program asks of
// the platform's windowing.
//
// How a caller builds a window (on the user-interface thread, before the message loop):
//
//   ControlObject* app = CreateAppWindow(texts::kAppCaption);          // the taskbar button
//   ControlObject* form = CreateTopWindow(app, texts::kMainCaption);   // the first is the main window
//   SetControlSize(form, 450, 380);
//   CenterOnScreen(form);              // creates the form's platform window, hidden for now
//   SetFontHeight(form, -12);          // controls created from now on copy the form's font
//   ControlObject* panel = CreateGroupBox(form, texts::kRangePanelCaption);
//   SetControlSize(panel, 100, 50);
//   DockControl(panel, Dock::Top);     // full width along the top; WM_SIZE keeps it there
//   ControlObject* start = CreateButton(panel, texts::kStartCaption);
//   PlaceControl(start, 266, 20);
//   start->ClickEvent = [](ControlObject* sender) { ... };
//   ControlObject* list = CreateReportList(listPanel, LVS_REPORT | LVS_SHOWSELALWAYS, 0x31);
//   AddColumn(list, caption, Align::Center, 50);
//   BindTable(list, table);            // the list shows the results table (ReportList.h)
//   MenuObject* menu = CreateContextMenu(list, [](MenuObject* menu, int index) { ... });
//   AddMenuItem(menu, -1, caption, 0);
//   RunMessageLoop(app);               // creates and shows the rest; returns once the app has closed
//
// Until a control's platform window exists, every setter only stores its value, which is applied
// when the window is created. Texts are code-page-936 bytes; the layer shows them through the
// wide-character interface. SetControlText and GetControlText may be called from any thread; every
// other operation belongs to the user-interface thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/Geometry.h"

namespace quarvo {

struct ControlObject;
struct KindInfo;
class TableBinding;

// One platform message as a message hook sees it. A hook that consumes the message sets `result`,
// which the window procedure returns.
struct ControlMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result = 0;
};

enum class Align { Left = 0, Right = 1, Center = 2 };

// A control's own font, created on first use from these defaults.
struct FontSpec {
  std::wstring face = L"MS Sans Serif";
  int height = 0;  // negative: character height in pixels
  int width = 0;
  int weight = 0;
  BYTE charset = DEFAULT_CHARSET;
  COLORREF color = 8;  // near black
};

struct ListColumn {
  std::string caption;
  Align align;
  int width;
};

struct MenuItem {
  std::string caption;
  UINT commandId;
  bool separator;
};

// A popup menu. Its commands arrive at the owner's window and are reported by the item's position,
// separators counted.
struct MenuObject {
  HMENU handle = nullptr;
  ControlObject* owner = nullptr;
  std::vector<MenuItem> items;
  std::function<void(MenuObject* menu, int index)> MenuItemEvent;
};

// AddMenuItem flag: the item is a separator line.
inline constexpr UINT kMenuSeparator = 32;

struct ControlObject {
  ControlObject(const KindInfo& kindInfo, ControlObject* parentObject);
  ~ControlObject();
  ControlObject(const ControlObject&) = delete;
  ControlObject& operator=(const ControlObject&) = delete;

  // Event slots.
  std::function<void(ControlObject* sender)> ClickEvent;
  // Sees every message of the window before the layer; returns true when it consumed the message.
  std::function<bool(ControlMessage& message)> MessageHook;
  // Report list: whether the last click that raised ClickEvent was with the right button.
  bool RightButtonClick = false;

  // The layer's own state. The rest of the program goes through the operations below.
  const KindInfo& kind;
  ControlObject* const parent;                           // the owner, for a top-level window
  std::vector<std::unique_ptr<ControlObject>> children;  // in creation order
  std::atomic<HWND> handle{nullptr};
  DWORD style;
  DWORD exStyle;
  Bounds bounds;
  bool defaultPosition = false;  // top-level window: the platform chooses where and how large
  bool defaultSize = false;
  Dock dock = Dock::None;
  COLORREF backColor;
  bool backColorSet = false;
  HBRUSH brush = nullptr;
  std::optional<FontSpec> font;
  HFONT platformFont = nullptr;
  bool createdHidden = false;
  std::vector<std::function<bool(ControlMessage&)>> attached;  // handlers attached by menus
  std::vector<std::unique_ptr<MenuObject>> menus;
  std::vector<ListColumn> columns;  // report list
  DWORD extendedListStyle = 0;      // report list: LVS_EX_ flags
  std::unique_ptr<TableBinding> table;

  // The stored text, also written and read by other threads.
  std::mutex textLock;
  std::string text;
  std::atomic<bool> textPending{false};  // a request to show the stored text is on its way
  DWORD textShownAt = 0;                 // tick count of the last time it was shown
};

// Creation. None creates a platform window (CenterOnScreen and RunMessageLoop do).
ControlObject* CreateAppWindow(const std::string& caption);
ControlObject* CreateTopWindow(ControlObject* owner, const std::string& caption);
ControlObject* CreateGroupBox(ControlObject* parent, const std::string& caption);
ControlObject* CreateLabel(ControlObject* parent, const std::string& caption);
ControlObject* CreateButton(ControlObject* parent, const std::string& caption);
ControlObject* CreateEditBox(ControlObject* parent);
// A list view in report mode showing a results table (BindTable). `listStyle` holds the LVS_ view
// and option flags, `listExStyle` the LVS_EX_ flags.
ControlObject* CreateReportList(ControlObject* parent, DWORD listStyle, DWORD listExStyle);
void AddColumn(ControlObject* list, const std::string& caption, Align align, int width);
MenuObject* CreateContextMenu(ControlObject* owner, std::function<void(MenuObject*, int)> handler);
// Inserts an item at `position` (-1: at the end); `flags` is 0 or kMenuSeparator.
void AddMenuItem(MenuObject* menu, int position, const std::string& caption, UINT flags);
// Shows the menu with its top-left corner at the screen point (x, y); returns when it closes.
void ShowContextMenu(MenuObject* menu, int x, int y);

// Geometry: outer sizes, in pixels.
ControlObject* SetControlSize(ControlObject* control, int width, int height);  // a 0 keeps that one
void PlaceControl(ControlObject* control, int left, int top);
void SetControlWidth(ControlObject* control, int width);
void DockControl(ControlObject* control, Dock dock);
// Creates the top-level window (and its owner) if need be, hidden, and centres it on the screen.
void CenterOnScreen(ControlObject* window);

// Appearance.
void SetWindowStyle(ControlObject* control, DWORD style);
void SetWindowExStyle(ControlObject* control, DWORD exStyle);
void SetBackColor(ControlObject* control, COLORREF color);
void SetFontColor(ControlObject* control, COLORREF color);
void SetFontHeight(ControlObject* control, int height);
void SetTextAlignment(ControlObject* editBox, Align align);

// Text, from any thread. A write from another thread returns at once and the window shows the text
// soon after; a read from another thread waits for the user-interface thread.
void SetControlText(ControlObject* control, const std::string& text);
std::string GetControlText(ControlObject* control);
HWND WindowHandle(const ControlObject* control);

void PostCloseRequest(ControlObject* window);

// The loop: creates every missing platform window under the application object, shows those
// created hidden, and serves messages until the quit message; then releases the windows.
void RunMessageLoop(ControlObject* app);
// Dispatches every message waiting for this thread; the quit message ends the loop.
void PumpPending();
bool LoopTerminated();
// Creates the platform windows that do not exist yet, parents before children.
void CreateMissingWindows(ControlObject* root);

// True when the path names an existing file (not a folder).
bool FileIsPresent(const std::string& path);

}  // namespace quarvo
