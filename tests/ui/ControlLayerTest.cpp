// The control layer and the report list on real windows.
#include <windows.h>
// The common controls need the declarations of windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "front/win32/controls/ControlObject.h"
#include "front/win32/controls/ReportList.h"
#include "front/win32/controls/WideText.h"
#include "model/ResultsTable.h"
#include "text/Cp936Texts.h"

namespace quarvo {
namespace {

using namespace std::chrono_literals;
using Ints = std::vector<int>;

// Serves this thread's messages for `milliseconds`, or until `done` holds (then true).
bool Pump(int milliseconds, const std::function<bool()>& done = nullptr) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (PumpPending(); !done || !done(); PumpPending()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

// A control's bounds in its parent's client area.
Bounds ChildBounds(const ControlObject* control) {
  RECT r;
  GetWindowRect(WindowHandle(control), &r);
  MapWindowPoints(nullptr, GetParent(WindowHandle(control)), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right, r.bottom};
}

// Made before the layer's state (on first use, in a test), so destroyed after it when the program
// ends: fails the run if the runtime's clean-up destroyed the controls, which a worker may still be
// writing into then. The token lives in a control's event slot.
struct ControlsOutliveTheProgram {
  ~ControlsOutliveTheProgram() {
    if (!armed || !token.expired()) return;
    std::fputs("controls were destroyed while the program ended\n", stderr);
    std::_Exit(3);
  }
  bool armed = false;
  std::weak_ptr<int> token;
} controlsOutliveTheProgram;

class UiTest : public testing::Test {
 protected:
  // Unless the test ran the loop, closes the main window as the user does; the loop releases all.
  void TearDown() override {
    if (WindowHandle(form) == nullptr) return;
    PostCloseRequest(form);
    RunMessageLoop(app);
  }
  ControlObject* app = CreateAppWindow("Quarvo");
  ControlObject* form = CreateTopWindow(app, "form");
};

// A tree like the main window's. What is set before the windows exist takes effect when they are
// created; docked children follow the client area (never below a size of 0), placed ones stay.
TEST_F(UiTest, SettersBeforeCreationDockingTextsAndKeys) {
  SetFontHeight(form, -12);
  SetControlText(form, texts::kMainCaption);
  ControlObject* range = CreateGroupBox(form, "range");
  SetControlSize(range, 100, 50);
  DockControl(range, Dock::Top);
  ControlObject* edit = CreateEditBox(range);  // never placed: in the group box's docking area
  SetWindowStyle(edit, edit->style | ES_MULTILINE | ES_WANTRETURN);  // would take a Tab as text
  SetTextAlignment(edit, Align::Center);
  SetBackColor(edit, 0x80FFFF);
  SetControlText(edit, "0");
  ControlObject* button = CreateButton(range, "b");
  PlaceControl(button, 105, 22);
  SetControlSize(button, 20, 0);  // a 0 keeps that side
  int clicks = 0;
  button->ClickEvent = [&](ControlObject*) { clicks += GetFocus() == WindowHandle(button); };
  ControlObject* panel = CreateGroupBox(form, "list");
  DockControl(panel, Dock::Client);
  ControlObject* list = CreateReportList(panel, LVS_REPORT, 0x31);
  DockControl(list, Dock::Client);
  CreateMissingWindows(app);

  HWND editWindow = WindowHandle(edit);
  EXPECT_EQ(ChildBounds(edit), (Bounds{4, 24, 104, 46}));
  EXPECT_EQ(ChildBounds(button), (Bounds{105, 22, 125, 44}));
  EXPECT_TRUE(GetWindowLongW(editWindow, GWL_STYLE) & ES_CENTER);
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(editWindow, WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, -12);  // a copy of the form's font
  EXPECT_EQ(ListView_GetExtendedListViewStyle(WindowHandle(list)), 0x31u);
  // The parent hands the control-colour request to the child, which paints with its own colours.
  HDC dc = GetDC(editWindow);
  SendMessageW(WindowHandle(range), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(editWindow));
  EXPECT_EQ(GetBkColor(dc), 0x80FFFFu);
  ReleaseDC(editWindow, dc);
  // Code-page-936 texts show as wide characters whatever the system's code page, and read back.
  wchar_t caption[64] = {};
  GetWindowTextW(WindowHandle(form), caption, 64);
  EXPECT_STREQ(caption, L"Quarvo\u626B\u63CF-\u7F51\u7EDC\u5524\u9192 v1.2");
  EXPECT_EQ(GetControlText(form), texts::kMainCaption);
  // Tab moves no focus and is no text; typed text reads back as code-page-936 bytes.
  SetFocus(editWindow);
  SendMessageW(editWindow, EM_SETSEL, 1, 1);
  PostMessageW(editWindow, WM_KEYDOWN, VK_TAB, 0);
  for (WPARAM c : {WPARAM{'\t'}, WPARAM{0x5524}}) PostMessageW(editWindow, WM_CHAR, c, 0);
  Pump(50);
  EXPECT_EQ(GetFocus(), editWindow);
  EXPECT_EQ(GetControlText(edit), "0\xBB\xBD");
  // Clicks reach the button's ClickEvent through the parent and take the focus, double clicks too.
  const auto from = reinterpret_cast<LPARAM>(WindowHandle(button));
  for (WPARAM code : {BN_CLICKED, BN_DBLCLK}) SendMessageW(WindowHandle(range), WM_COMMAND, code << 16, from);
  EXPECT_EQ(clicks, 2);

  SetControlSize(form, 200, 60);  // a client area less than 56 high
  RECT client;
  GetClientRect(WindowHandle(form), &client);
  EXPECT_EQ(ChildBounds(range), (Bounds{2, 2, client.right - 2, 52}));
  EXPECT_EQ(ChildBounds(list), (Bounds{4, 24, client.right - 8, 24}));
  SetControlSize(button, 0, 30);
  EXPECT_EQ(ChildBounds(button), (Bounds{105, 22, 125, 52}));
}

// The loop creates what is missing and shows what was created hidden. Workers and the loop's own
// thread write texts meanwhile: every text read is one written, whole, and the window ends up
// showing the text stored last. Minimising the main window
// minimises the application object; closing from the taskbar button goes through the main window.
TEST_F(UiTest, TheLoopServesTextCallsFromManyThreadsAndEndsThroughTheMainWindow) {
  CenterOnScreen(form);
  ControlObject* edit = CreateEditBox(form);
  constexpr int kThreads = 8, kRounds = 60;
  auto textOf = [](int i) { return texts::kRunScan + std::to_string(i) + std::string(i % 40u, '#'); };
  std::set<std::string> written;
  for (int i = 0; i < kThreads * kRounds; ++i) written.insert(textOf(i));
  std::atomic<int> torn{0}, finished{0};
  std::atomic<bool> lastShown{false};
  Ints seen;  // at the minimise: the edit box shown; at the close: app and form minimised
  form->MessageHook = [&](ControlMessage& message) {
    if (message.message == WM_SETTEXT && finished < kThreads) SetControlText(edit, textOf(0));
    if (message.message == WM_SYSCOMMAND) seen.push_back(IsWindowVisible(WindowHandle(edit)));
    if (message.message == WM_CLOSE)
      seen.insert(seen.end(), {IsIconic(WindowHandle(app)), IsIconic(message.window)});
    return false;
  };
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = t * kRounds; i < (t + 1) * kRounds; ++i) {
        SetControlText(form, textOf(i));
        SetControlText(edit, textOf(i));
        torn += written.count(GetControlText(edit)) == 0;
      }
      if (++finished < kThreads) return;
      for (int wait = 0; wait < 500 && !lastShown; ++wait, Sleep(10)) {
        wchar_t shown[128] = {};
        GetWindowTextW(WindowHandle(form), shown, 128);
        std::lock_guard<std::mutex> lock(form->textLock);
        lastShown = WideFromCp936(form->text) == shown;
      }
      SendMessageW(WindowHandle(form), WM_SYSCOMMAND, SC_MINIMIZE, 0);
      PostMessageW(WindowHandle(app), WM_SYSCOMMAND, SC_CLOSE, 0);
    });
  }
  RunMessageLoop(app);
  for (auto& worker : workers) worker.join();
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(seen, (Ints{1, 1, 0}));
  EXPECT_TRUE(lastShown);
  EXPECT_EQ(WindowHandle(app), nullptr);               // the loop released the windows
  EXPECT_EQ(written.count(GetControlText(edit)), 1u);  // the window is gone: the stored text
  auto token = std::make_shared<int>();                // the objects stay until the process ends
  edit->ClickEvent = [token](ControlObject*) {};
  controlsOutliveTheProgram.token = token;
  controlsOutliveTheProgram.armed = true;
}

// Commands arrive at the owner and report the item's position, separators counted.
TEST_F(UiTest, MenuCommandsReachMenuItemEventWithTheItemIndex) {
  ControlObject* list = CreateReportList(form, LVS_REPORT, 0);
  Ints chosen;
  MenuObject* menu = CreateContextMenu(list, [&](MenuObject*, int index) { chosen.push_back(index); });
  for (int i = 0; i < 11; ++i) AddMenuItem(menu, -1, texts::kRunWake, i % 2 == 0 ? 0 : kMenuSeparator);
  CreateMissingWindows(app);
  for (UINT i = 0; i < 11; ++i) {
    EXPECT_EQ((GetMenuState(menu->handle, i, MF_BYPOSITION) & MF_SEPARATOR) != 0, i % 2 == 1);
    SendMessageW(WindowHandle(list), WM_COMMAND, GetMenuItemID(menu->handle, static_cast<int>(i)), 0);
  }
  EXPECT_EQ(chosen, (Ints{0, 2, 4, 6, 8, 10}));
  wchar_t caption[16] = {};
  GetMenuStringW(menu->handle, 0, caption, 16, MF_BYPOSITION);
  EXPECT_STREQ(caption, L"\u5524\u9192");
}

TEST(FileIsPresent, TrueOnlyForAnExistingFileNotAFolder) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::wstring file = folder + std::wstring(L"quarvo-test.txt");
  EXPECT_FALSE(FileIsPresent(Cp936FromWide(folder)));
  EXPECT_FALSE(FileIsPresent(Cp936FromWide(file)));
  CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  EXPECT_TRUE(FileIsPresent(Cp936FromWide(file)));
  DeleteFileW(file.c_str());
}

// A list showing a results table of a machine number and a MAC address a row.
class ReportListTest : public UiTest {
 protected:
  ReportListTest() {
    for (const char* caption : {"number", "ip", "mac"}) AddColumn(list, caption, Align::Left, 80);
    BindTable(list, table);
  }
  void Add(const std::string& number) { table.SetCell(table.AddRow(number), ColMac, "mac-" + number); }
  int Count() { return ListView_GetItemCount(WindowHandle(list)); }
  std::string ShownCell(int row, int column) {
    wchar_t buffer[64] = {};
    ListView_GetItemText(WindowHandle(list), row, column, buffer, 64);
    return Cp936FromWide(buffer);
  }
  // The rows selected on screen, which must be the table's selection.
  Ints Selection() {
    Ints shown, inTable;
    for (int row = -1; (row = ListView_GetNextItem(WindowHandle(list), row, LVNI_SELECTED)) >= 0;)
      shown.push_back(row);
    for (int row = table.FirstSelected(); row >= 0; row = table.NextSelected(row)) inTable.push_back(row);
    EXPECT_EQ(shown, inTable);
    EXPECT_EQ(ListView_GetSelectedCount(WindowHandle(list)), static_cast<UINT>(table.SelectedCount()));
    return inTable;
  }
  void ClickRow(int row, bool right = false, WPARAM keys = 0) {
    RECT r;
    ListView_GetItemRect(WindowHandle(list), row, &r, LVIR_BOUNDS);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageW(WindowHandle(list), right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN,
                 keys | (right ? MK_RBUTTON : MK_LBUTTON), at);
    PostMessageW(WindowHandle(list), right ? WM_RBUTTONUP : WM_LBUTTONUP, keys, at);
    Pump(50);
  }

  ResultsTable table;
  ControlObject* list = CreateReportList(form, LVS_REPORT | LVS_SORTASCENDING | LVS_EDITLABELS, 0x31);
};

// The list shows the table's rows, sorting and editing nothing itself. Clicks reach ClickEvent and
// select in the table; the selection stays on the machines when a worker adds rows above them.
TEST_F(ReportListTest, ShowsTheTableAndKeepsTheSelectionOnTheMachineAcrossInserts) {
  std::vector<bool> rightClicks;
  list->ClickEvent = [&](ControlObject* sender) { rightClicks.push_back(sender->RightButtonClick); };
  for (const char* number : {"060", "050", "070"}) Add(number);
  CreateMissingWindows(app);
  EXPECT_EQ(ShownCell(0, ColNumber), "050");
  EXPECT_EQ(ShownCell(2, ColMac), "mac-070");
  EXPECT_FALSE(GetWindowLongW(WindowHandle(list), GWL_STYLE) & (LVS_SORTASCENDING | LVS_EDITLABELS));
  ClickRow(0, true);
  ClickRow(1);
  ClickRow(2, false, MK_CONTROL);
  EXPECT_EQ(Selection(), (Ints{1, 2}));

  std::thread([this] { Add("010"), Add("065"), Add("020"), Add("080"); }).join();
  ASSERT_TRUE(Pump(5000, [&] { return Count() == 7; }));
  EXPECT_EQ(Selection(), (Ints{3, 5}));
  ClickRow(0);
  EXPECT_EQ(Selection(), Ints{0});
  table.DeleteRow(0);
  ASSERT_TRUE(Pump(5000, [&] { return Count() == 6; }));
  EXPECT_TRUE(Selection().empty());
  EXPECT_EQ(rightClicks, (std::vector<bool>{true, false, false, false}));
}

// A tooltip for one column: over a MAC cell the list shows what the tip gives for that cell, over
// any other cell nothing of it; the list asks for row tooltips only once a tip is set.
TEST_F(ReportListTest, CellTipShowsOverItsColumnOnly) {
  Add("050");
  Add("060");
  CreateMissingWindows(app);
  HWND window = WindowHandle(list);
  EXPECT_FALSE(ListView_GetExtendedListViewStyle(window) & LVS_EX_INFOTIP);
  SetCellTip(list, ColMac,
             [](const std::string& mac) { return mac == "mac-060" ? std::wstring(L"Vendor Co.") : L""; });
  EXPECT_TRUE(ListView_GetExtendedListViewStyle(window) & LVS_EX_INFOTIP);
  const auto tipOver = [&](int row, int column) {
    RECT cell;
    ListView_GetSubItemRect(window, row, column, LVIR_BOUNDS, &cell);
    POINT at{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    ClientToScreen(window, &at);
    SetCursorPos(at.x, at.y);
    POINT now{};
    Pump(200, [&] { return GetCursorPos(&now) && now.x == at.x && now.y == at.y; });
    wchar_t text[80] = L"before";
    NMLVGETINFOTIPW info{};
    info.hdr.hwndFrom = window;
    info.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window));
    info.hdr.code = LVN_GETINFOTIPW;
    info.pszText = text;
    info.cchTextMax = 80;
    info.iItem = row;
    SendMessageW(GetParent(window), WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    return std::wstring(text);
  };
  POINT cursor{};
  const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SetCursorPos(5, 5);
  if (!GetCursorPos(&cursor) || cursor.x != 5 || !PtInRect(&screen, cursor))
    GTEST_SKIP() << "no cursor to move";
  EXPECT_EQ(tipOver(1, ColMac), L"Vendor Co.");
  EXPECT_EQ(tipOver(0, ColMac), L"before");  // the tip gives nothing for this MAC
  EXPECT_EQ(tipOver(1, ColIp), L"before");
}

// 65,536 rows from a worker while the loop runs: the list catches up in batches.
TEST_F(ReportListTest, ManyRowsArrivingDuringAScanRepaintInBatches) {
  int refreshes = 0;
  list->MessageHook = [&](ControlMessage& message) {
    return refreshes += message.message == LVM_SETITEMCOUNT, false;
  };
  constexpr int kRows = 65536;
  std::thread worker([&] {
    while (WindowHandle(list) == nullptr) std::this_thread::sleep_for(1ms);
    char number[16];
    for (int i = 0; i < kRows; ++i) {
      snprintf(number, sizeof number, "%05d", i ^ 0x0F);  // nearly in order, as a scan finds them
      table.AddRow(number);
    }
    while (Count() != kRows) std::this_thread::sleep_for(5ms);
    PostCloseRequest(form);
  });
  RunMessageLoop(app);
  worker.join();
  EXPECT_GE(refreshes, 1);
  EXPECT_LT(refreshes, 1000);
}

}  // namespace
}  // namespace quarvo
