#include "front/win32/MainWindow.h"

#include <commctrl.h>

#include <iterator>

#include "front/win32/controls/ReportList.h"
#include "text/Cipher.h"
#include "text/Cp936Texts.h"
#include "text/EncipheredTexts.h"

namespace quarvo {

namespace {

constexpr COLORREF kBlue = 0xFF0000;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr DWORD kMainFormStyle = 0x00CF0000;  // WS_OVERLAPPEDWINDOW
constexpr DWORD kListExStyle = LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;

ControlObject* AddressBox(ControlObject* panel, int left, int width) {
  ControlObject* box = CreateEditBox(panel);
  PlaceControl(box, left, 20);
  SetControlWidth(box, width);
  SetBackColor(box, kWhite);
  return box;
}

}  // namespace

MainControls& Controls() {
  static MainControls controls;
  return controls;
}

void BuildMainWindow(ResultsTable& table, CommandContext& commands) {
  MainControls& c = Controls();
  c.MainForm = CreateTopWindow(c.AppWindow, texts::kMainCaption);
  SetControlSize(c.MainForm, 450, 380);
  SetWindowStyle(c.MainForm, kMainFormStyle);
  CenterOnScreen(c.MainForm);
  c.MainForm->MessageHook = [&commands](ControlMessage& message) {
    bool consumed = false;
    if (message.message == WM_CLOSE) {
      Guarded([&] { consumed = OnFormMessage(commands, kCloseMessage); });
    } else if (message.message == WM_HELP) {
      Guarded([&] { OnFormMessage(commands, kHelpMessage); });
    }
    return consumed;
  };
  SetFontHeight(c.MainForm, -12);
  BuildRangePanel(commands);
  BuildListPanel(table, commands);
  BuildListMenu(commands);
}

void BuildRangePanel(CommandContext& commands) {
  MainControls& c = Controls();
  c.RangePanel = CreateGroupBox(c.MainForm, texts::kRangePanelCaption);
  SetControlSize(c.RangePanel, 100, 50);
  DockControl(c.RangePanel, Dock::Top);

  c.DirectionLabel = CreateLabel(c.RangePanel, texts::kDirectionUp);
  PlaceControl(c.DirectionLabel, 105, 22);
  SetControlWidth(c.DirectionLabel, 20);
  SetFontColor(c.DirectionLabel, kBlue);

  c.StartIpEdit = AddressBox(c.RangePanel, 8, 95);
  c.EndIpEdit = AddressBox(c.RangePanel, 125, 95);

  c.ThreadsEdit = CreateEditBox(c.RangePanel);
  PlaceControl(c.ThreadsEdit, 228, 20);
  SetControlWidth(c.ThreadsEdit, 30);
  SetTextAlignment(c.ThreadsEdit, Align::Center);
  SetBackColor(c.ThreadsEdit, kWhite);
  SetControlText(c.ThreadsEdit, "0");

  c.StartStopButton = CreateButton(c.RangePanel, texts::kStartCaption);
  PlaceControl(c.StartStopButton, 266, 20);
  c.StartStopButton->ClickEvent = [&commands](ControlObject*) {
    Guarded([&] { OnStartStopClick(commands); });
  };

  c.ClearButton = CreateButton(c.RangePanel, texts::kClearCaption);
  PlaceControl(c.ClearButton, 336, 20);
  c.ClearButton->ClickEvent = [&commands](ControlObject*) { Guarded([&] { OnClearClick(commands); }); };
}

void BuildListPanel(ResultsTable& table, CommandContext& commands) {
  MainControls& c = Controls();
  c.ListPanel = CreateGroupBox(c.MainForm, texts::kListPanelCaption + DecipherText(texts::kListBannerHex));
  DockControl(c.ListPanel, Dock::Client);

  c.ResultsTable =
      CreateReportList(c.ListPanel, LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SORTASCENDING, kListExStyle);
  BindTable(c.ResultsTable, table);
  c.ResultsTable->ClickEvent = [&commands](ControlObject* sender) {
    Guarded([&] { OnListMouse(commands, sender->RightButtonClick); });
  };
  DockControl(c.ResultsTable, Dock::Client);

  const struct {
    const char* caption;
    Align align;
    int width;
  } columns[] = {
      {texts::kColNumberCaption, Align::Center, 50}, {texts::kColIpCaption, Align::Left, 95},
      {texts::kColMacCaption, Align::Left, 115},     {texts::kColThreadCaption, Align::Center, 50},
      {texts::kColChangeCaption, Align::Center, 45}, {texts::kColStatusCaption, Align::Center, 45},
  };
  for (const auto& column : columns) AddColumn(c.ResultsTable, column.caption, column.align, column.width);
}

void BuildListMenu(CommandContext& commands) {
  // The items in menu order; a separator has no command.
  static const struct {
    const char* text;
    int command;
  } items[] = {{texts::kMenuAbout, kMenuAboutItem},   {texts::kMenuSeparator, -1},
               {texts::kMenuWake, kMenuWakeItem},     {texts::kMenuSeparator, -1},
               {texts::kMenuSave, kMenuSaveItem},     {texts::kMenuSeparator, -1},
               {texts::kMenuLoad, kMenuLoadItem},     {texts::kMenuSeparator, -1},
               {texts::kMenuDelete, kMenuDeleteItem}, {texts::kMenuSeparator, -1},
               {texts::kMenuExit, kMenuExitItem}};
  MainControls& c = Controls();
  c.ListMenu = CreateContextMenu(c.ResultsTable, [&commands](MenuObject*, int index) {
    if (index < 0 || index >= static_cast<int>(std::size(items)) || items[index].command < 0) return;
    Guarded([&] { OnListMenu(commands, static_cast<ListMenuItem>(items[index].command)); });
  });
  for (const auto& item : items)
    AddMenuItem(c.ListMenu, -1, item.text, item.command < 0 ? kMenuSeparator : 0);
}

}  // namespace quarvo
