// Events of the control layer: clicks, menu commands, closing and minimising; and FileIsPresent.
#include <windows.h>
// The common controls need the declarations of windows.h first.
#include <commctrl.h>

#include <vector>

#include "UiTestSupport.h"
#include "ui/controls/WideText.h"

namespace quarvo::testing_ui {
namespace {

using EventTest = UiTest;

LPARAM PointIn(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  return MAKELPARAM(r.right / 2, r.bottom / 2);
}

TEST_F(EventTest, ButtonClicksTakeTheFocusAndADoubleClickCountsTwice) {
  ControlObject* button = CreateButton(form, "b");
  ControlObject* edit = CreateEditBox(form);
  PlaceControl(edit, 100, 2);
  int clicks = 0;
  button->ClickEvent = [&](ControlObject* sender) {
    EXPECT_EQ(sender, button);
    EXPECT_EQ(GetFocus(), WindowHandle(button));
    ++clicks;
  };
  CenterOnScreen(form);
  CreateMissingWindows(app);
  ShowWindow(WindowHandle(form), SW_SHOW);
  SetFocus(WindowHandle(edit));
  SendMessageW(WindowHandle(button), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
  HWND window = WindowHandle(button);
  const LPARAM at = PointIn(window);
  for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) {
    PostMessageW(window, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
  }
  PumpFor(50);
  EXPECT_EQ(clicks, 3);
}

TEST_F(EventTest, LeftAndRightClicksOnTheListReachClickEvent) {
  ControlObject* list = CreateReportList(form, LVS_REPORT, 0x31);
  SetControlSize(list, 300, 200);
  std::vector<bool> rightClicks;
  list->ClickEvent = [&](ControlObject* sender) { rightClicks.push_back(sender->RightButtonClick); };
  CenterOnScreen(form);
  CreateMissingWindows(app);
  ShowWindow(WindowHandle(form), SW_SHOW);
  HWND window = WindowHandle(list);
  const LPARAM at = PointIn(window);
  PostMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, at);
  PostMessageW(window, WM_RBUTTONUP, 0, at);
  PumpFor(100);
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(window, WM_LBUTTONUP, 0, at);
  PumpFor(100);
  EXPECT_EQ(rightClicks, (std::vector<bool>{true, false}));
}

MenuObject* ListMenu(ControlObject* owner, std::vector<int>& chosen) {
  MenuObject* menu = CreateContextMenu(owner, [&chosen](MenuObject*, int index) { chosen.push_back(index); });
  for (int i = 0; i < 11; ++i) {
    AddMenuItem(menu, -1, i % 2 == 0 ? "item " + std::to_string(i) : "-", i % 2 == 0 ? 0 : kMenuSeparator);
  }
  return menu;
}

TEST_F(EventTest, MenuCommandsReportTheItemIndexWithSeparatorsCounted) {
  ControlObject* list = CreateReportList(form, LVS_REPORT, 0);
  std::vector<int> chosen;
  MenuObject* menu = ListMenu(list, chosen);
  CreateMissingWindows(app);
  for (int i = 0; i < 11; ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID;
    GetMenuItemInfoW(menu->handle, static_cast<UINT>(i), TRUE, &info);
    EXPECT_EQ((info.fType & MFT_SEPARATOR) != 0, i % 2 == 1) << i;
    EXPECT_EQ((info.fState & MFS_DISABLED) != 0, i % 2 == 1) << i;
    EXPECT_GE(info.wID, 0x1000u);
    SendMessageW(WindowHandle(list), WM_COMMAND, MAKEWPARAM(info.wID, 0), 0);
  }
  EXPECT_EQ(chosen, (std::vector<int>{0, 2, 4, 6, 8, 10}));
}

// The real popup, driven from the keyboard: Up from nothing chosen selects the last item.
TEST_F(EventTest, ChoosingFromTheShownMenuReachesMenuItemEvent) {
  ControlObject* list = CreateReportList(form, LVS_REPORT, 0);
  std::vector<int> chosen;
  MenuObject* menu = ListMenu(list, chosen);
  CenterOnScreen(form);
  CreateMissingWindows(app);
  ShowWindow(WindowHandle(form), SW_SHOW);
  SetForegroundWindow(WindowHandle(form));
  std::thread keys([] {
    HWND popup = nullptr;
    for (int i = 0; i < 500 && (popup = FindWindowW(L"#32768", nullptr)) == nullptr; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (WPARAM key : {WPARAM{VK_UP}, WPARAM{VK_RETURN}}) PostMessageW(popup, WM_KEYDOWN, key, 0);
  });
  ShowContextMenu(menu, 200, 200);
  keys.join();
  PumpFor(50);
  EXPECT_EQ(chosen, std::vector<int>{10});
}

TEST_F(EventTest, ClosingTheTaskbarButtonGoesThroughTheMainWindow) {
  std::vector<UINT> seen;
  form->MessageHook = [&](ControlMessage& message) {
    if (message.message == WM_CLOSE) seen.push_back(message.message);
    return false;
  };
  CreateMissingWindows(app);
  PostMessageW(WindowHandle(app), WM_SYSCOMMAND, SC_CLOSE, 0);
  RunLoop();  // returns once the main window's close has ended the loop
  EXPECT_EQ(seen, std::vector<UINT>{WM_CLOSE});
  EXPECT_EQ(WindowHandle(app), nullptr);
}

TEST_F(EventTest, MinimisingTheMainWindowMinimisesTheApplication) {
  CenterOnScreen(form);
  CreateMissingWindows(app);
  ShowWindow(WindowHandle(app), SW_SHOW);
  ShowWindow(WindowHandle(form), SW_SHOW);
  SendMessageW(WindowHandle(form), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  PumpFor(50);
  EXPECT_TRUE(IsIconic(WindowHandle(app)));
  EXPECT_FALSE(IsIconic(WindowHandle(form)));
}

TEST(FileIsPresent, TrueOnlyForAnExistingFile) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder(temp);
  EXPECT_FALSE(FileIsPresent(Cp936FromWide(folder)));
  EXPECT_FALSE(FileIsPresent(""));
  // A Chinese name only where the host file system can hold it (it needs a UTF-8 locale).
  struct Name {
    const wchar_t* text;
    bool required;
  };
  for (const Name n : {Name{L"quarvo-test", true}, Name{L"\u626B\u63CF-quarvo-test", false}}) {
    const std::wstring name = n.text;
    const std::wstring file = folder + name + L".txt";
    const std::wstring subfolder = folder + name + L".dir";
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE && !n.required) continue;
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);
    ASSERT_TRUE(CreateDirectoryW(subfolder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(FileIsPresent(Cp936FromWide(file)));
    EXPECT_FALSE(FileIsPresent(Cp936FromWide(subfolder)));
    DeleteFileW(file.c_str());
    RemoveDirectoryW(subfolder.c_str());
    EXPECT_FALSE(FileIsPresent(Cp936FromWide(file)));
  }
}

}  // namespace
}  // namespace quarvo::testing_ui
