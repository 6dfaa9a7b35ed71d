// Geometry, kinds and setters of the control layer, on real windows.
#include <windows.h>
// The common controls need the declarations of windows.h first.
#include <commctrl.h>

#include <algorithm>

#include "UiTestSupport.h"

namespace quarvo::testing_ui {
namespace {

// The main window's tree: a panel docked along the top holding a few controls, and a panel filling
// the rest holding the list.
struct MainTree {
  ControlObject* range;
  ControlObject* label;
  ControlObject* edit;
  ControlObject* button;
  ControlObject* listPanel;
  ControlObject* list;
};

MainTree BuildTree(ControlObject* form) {
  MainTree t{};
  SetControlSize(form, 450, 380);
  SetWindowStyle(form, WS_OVERLAPPEDWINDOW);
  SetFontHeight(form, -12);
  t.range = CreateGroupBox(form, "range");
  SetControlSize(t.range, 100, 50);
  DockControl(t.range, Dock::Top);
  t.label = CreateLabel(t.range, "++>");
  PlaceControl(t.label, 105, 22);
  SetControlWidth(t.label, 20);
  SetFontColor(t.label, 0xFF0000);
  t.edit = CreateEditBox(t.range);
  PlaceControl(t.edit, 228, 20);
  SetControlWidth(t.edit, 30);
  SetTextAlignment(t.edit, Align::Center);
  SetBackColor(t.edit, 0xFFFFFF);
  SetControlText(t.edit, "0");
  t.button = CreateButton(t.range, "start");
  PlaceControl(t.button, 266, 20);
  t.listPanel = CreateGroupBox(form, "list");
  DockControl(t.listPanel, Dock::Client);
  t.list = CreateReportList(t.listPanel, LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SORTASCENDING, 0x31);
  DockControl(t.list, Dock::Client);
  return t;
}

using LayoutTest = UiTest;

TEST_F(LayoutTest, DockedChildrenFollowTheClientAreaAndOthersStayPut) {
  const MainTree t = BuildTree(form);
  CreateMissingWindows(app);
  for (const SIZE size : {SIZE{450, 380}, SIZE{800, 560}, SIZE{300, 120}, SIZE{200, 60}}) {
    SetControlSize(form, size.cx, size.cy);
    PumpPending();
    RECT client;
    GetClientRect(WindowHandle(form), &client);
    const int w = client.right;
    const int h = client.bottom;
    SCOPED_TRACE(testing::Message() << "client " << w << "x" << h);
    EXPECT_EQ(ChildBounds(WindowHandle(t.range)), (Bounds{2, 2, 2 + std::max(w - 4, 0), 52}));
    const Bounds panel{2, 54, 2 + std::max(w - 4, 0), 54 + std::max(h - 56, 0)};
    EXPECT_EQ(ChildBounds(WindowHandle(t.listPanel)), panel);
    EXPECT_EQ(ChildBounds(WindowHandle(t.list)),
              (Bounds{4, 24, 4 + std::max(panel.Width() - 8, 0), 24 + std::max(panel.Height() - 28, 0)}));
    EXPECT_EQ(ChildBounds(WindowHandle(t.label)), (Bounds{105, 22, 125, 44}));
    EXPECT_EQ(ChildBounds(WindowHandle(t.button)), (Bounds{266, 20, 330, 42}));
  }
}

TEST_F(LayoutTest, SettersBeforeTheWindowExistsTakeEffectWhenItIsCreated) {
  const MainTree t = BuildTree(form);
  ASSERT_EQ(WindowHandle(t.edit), nullptr);
  CreateMissingWindows(app);
  HWND edit = WindowHandle(t.edit);
  ASSERT_NE(edit, nullptr);

  EXPECT_EQ(WindowText(edit), L"0");
  EXPECT_TRUE(GetWindowLongW(edit, GWL_STYLE) & ES_CENTER);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(WindowHandle(form), GWL_STYLE)) & 0x00FF0000u, 0x00CF0000u);
  RECT outer;
  GetWindowRect(WindowHandle(form), &outer);
  EXPECT_EQ(outer.right - outer.left, 450);
  EXPECT_EQ(outer.bottom - outer.top, 380);

  // Every control took a copy of the form's font.
  for (ControlObject* control : {t.range, t.label, t.edit, t.button, t.list}) {
    LOGFONTW font{};
    auto handle = reinterpret_cast<HFONT>(SendMessageW(WindowHandle(control), WM_GETFONT, 0, 0));
    ASSERT_NE(handle, nullptr);
    GetObjectW(handle, sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -12);
    EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
  }

  // The parent hands the control-colour requests to the child, which paints with its own colours.
  HDC dc = GetDC(edit);
  SendMessageW(WindowHandle(t.range), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(edit));
  EXPECT_EQ(GetBkColor(dc), 0xFFFFFFu);
  EXPECT_EQ(GetTextColor(dc), 8u);
  SendMessageW(WindowHandle(t.range), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(WindowHandle(t.label)));
  EXPECT_EQ(GetTextColor(dc), 0xFF0000u);
  EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
  ReleaseDC(edit, dc);

  // And the list got its extended styles and columns.
  HWND list = WindowHandle(t.list);
  EXPECT_EQ(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0x31);
  EXPECT_FALSE(GetWindowLongW(list, GWL_STYLE) & LVS_EDITLABELS);
}

TEST_F(LayoutTest, SetControlSizeWithAZeroKeepsThatSide) {
  ControlObject* before = CreateButton(form, "before");
  ControlObject* after = CreateButton(form, "after");
  SetControlSize(before, 0, 40);  // stored until the window exists
  CreateMissingWindows(app);
  struct Step {
    int width, height, expectWidth, expectHeight;
  };
  for (const Step s : {Step{0, 40, 64, 40}, Step{70, 0, 70, 40}, Step{0, 0, 70, 40}}) {
    SetControlSize(after, s.width, s.height);
    const Bounds b = ChildBounds(WindowHandle(after));
    EXPECT_EQ(b.Width(), s.expectWidth) << s.width << "x" << s.height;
    EXPECT_EQ(b.Height(), s.expectHeight) << s.width << "x" << s.height;
  }
  const Bounds b = ChildBounds(WindowHandle(before));
  EXPECT_EQ(b.Width(), 64);
  EXPECT_EQ(b.Height(), 40);
}

// Classes registered under the layer's names, sizes at creation, and the default place of a control
// that is never placed: inside its parent's docking area.
TEST_F(LayoutTest, EachKindHasItsClassAndStartingBounds) {
  ControlObject* group = CreateGroupBox(form, "g");
  struct Case {
    ControlObject* control;
    const wchar_t* className;
    Bounds bounds;  // in the parent's client area
  };
  const Case cases[] = {
      {group, L"obj_BUTTON", {2, 2, 102, 102}},
      {CreateLabel(group, "l"), L"obj_STATIC", {4, 24, 68, 46}},
      {CreateEditBox(group), L"obj_EDIT", {4, 24, 104, 46}},
      {CreateButton(form, "b"), L"obj_BUTTON", {2, 2, 66, 24}},
      {CreateReportList(form, LVS_REPORT, 0), L"obj_SysListView32", {2, 2, 202, 152}},
  };
  CreateMissingWindows(app);
  for (const Case& c : cases) {
    HWND window = WindowHandle(c.control);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    EXPECT_STREQ(name, c.className);
    EXPECT_EQ(ChildBounds(window), c.bounds) << static_cast<const void*>(c.className);
    // Focus rectangles show from the start.
    EXPECT_EQ(SendMessageW(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS, 0);
  }
  wchar_t name[64] = {};
  GetClassNameW(WindowHandle(form), name, 64);
  EXPECT_STREQ(name, L"obj_Form");
  GetClassNameW(WindowHandle(app), name, 64);
  EXPECT_STREQ(name, L"obj_App");
  EXPECT_EQ(GetClassLongPtrW(WindowHandle(form), GCLP_HCURSOR),
            reinterpret_cast<LONG_PTR>(LoadCursorW(nullptr, IDC_ARROW)));
  // The application object offers neither maximise, move nor size.
  HMENU system = GetSystemMenu(WindowHandle(app), FALSE);
  for (UINT command : {UINT{SC_MAXIMIZE}, UINT{SC_MOVE}, UINT{SC_SIZE}}) {
    EXPECT_EQ(GetMenuState(system, command, MF_BYCOMMAND), static_cast<UINT>(-1)) << command;
  }
  EXPECT_TRUE(GetMenuState(system, SC_RESTORE, MF_BYCOMMAND) & MF_GRAYED);
}

// CenterOnScreen creates the window hidden; the loop creates the rest and shows it.
TEST_F(LayoutTest, CentredWindowIsShownWithItsChildrenWhenTheLoopStarts) {
  SetControlSize(form, 451, 381);
  CenterOnScreen(form);
  HWND window = WindowHandle(form);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindowVisible(window));
  RECT r;
  GetWindowRect(window, &r);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 451) >> 1);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 381) >> 1);

  ControlObject* panel = CreateGroupBox(form, "p");
  ControlObject* edit = CreateEditBox(panel);
  bool shown = false;
  bool childrenThere = false;
  std::thread closer([&] {
    while (!IsWindowVisible(window)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    shown = true;
    childrenThere = WindowHandle(edit) != nullptr && GetParent(WindowHandle(edit)) == WindowHandle(panel);
    PostCloseRequest(form);
  });
  RunLoop();
  closer.join();
  EXPECT_TRUE(shown);
  EXPECT_TRUE(childrenThere);
  EXPECT_TRUE(LoopTerminated());
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(WindowHandle(edit), nullptr);
}

}  // namespace
}  // namespace quarvo::testing_ui
