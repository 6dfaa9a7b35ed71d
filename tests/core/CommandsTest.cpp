#include <gtest/gtest.h>

#include "ScanHarness.h"
#include "app/Commands.h"

namespace quarvo {
namespace {

struct FakeUi final : Dialogs, ListFiles, Shell, WakeSocket {
  bool AskYesNo(const std::string&, const std::string&) override { return true; }
  void ShowError(const std::string& text) override { calls += "error:" + text + ";"; }
  void ShowMessage(const std::string&, const std::string& caption) override { calls += caption + ";"; }
  void Save() override { calls += "save;"; }
  void Load() override { calls += "load;"; }
  bool SaveOnClose() override { return mayClose; }
  void ShowListMenuAtCursor() override { calls += "menu;"; }
  void PostCloseRequest() override { calls += "close;"; }
  bool Startup() override { return true; }
  SocketHandle OpenDatagram() override { return 3; }
  bool AllowBroadcast(SocketHandle) override { return true; }
  bool SendTo(SocketHandle, const std::uint8_t*, std::size_t, std::uint32_t, std::uint16_t) override {
    calls += "packet;";
    return true;
  }
  void Close(SocketHandle) override {}
  void Cleanup() override {}
  std::string calls;
  bool mayClose = true;
};

struct Handlers : testing::ScanHarness {
  FakeUi ui;
  CommandContext commands{context, ui, ui, ui, ui};
  void Click(const char* start, const char* end, const char* threadsText) {
    window.Put(UiText::StartIp, start);
    window.Put(UiText::EndIp, end);
    window.Put(UiText::Threads, threadsText);
    OnStartStopClick(commands);
    threads.JoinAll();
  }
};

// A refused start says why, starts nothing and returns to idle: the next click scans. A refused address
// leaves both boxes as typed and shows no direction; a refused threads count comes after the boxes were
// rewritten.
TEST(StartStopButton, StartsOnlyFromTheStartCaptionAndARefusedStartSaysWhy) {
  const struct {
    const char *start, *end, *threads, *caption, *calls, *startShown;
    bool directionShown;
  } refused[] = {
      {"255.255.255.255", "nope", "0", texts::kStartAddressRefused, "", "255.255.255.255", false},
      {" 10.1", "nope", "0", texts::kEndAddressRefused, "", " 10.1", false},
      {"10.1", "10.0.0.2", "2 ", texts::kThreadsRefused, "error:'2 ' is not a valid integer value;",
       "10.0.0.1", true},
      {"10.1", "10.0.0.2", "", texts::kThreadsRefused, "error:'' is not a valid integer value;", "10.0.0.1",
       true},
  };
  for (const auto& c : refused) {
    Handlers app;
    app.window.Put(UiText::StartStop, texts::kStartCaption);
    app.Click(c.start, c.end, c.threads);
    EXPECT_EQ(app.window.Text(UiText::MainCaption), c.caption);
    EXPECT_EQ(app.ui.calls, c.calls);
    EXPECT_EQ(app.window.Text(UiText::StartIp), c.startShown);
    EXPECT_EQ(app.window.Text(UiText::EndIp), c.end);
    EXPECT_EQ(app.window.History(UiText::Direction).empty(), !c.directionShown);
    EXPECT_TRUE(app.state.StopRequested);
    EXPECT_EQ(app.threads.Launched(), 0);
    app.Click("10.0.0.1", "10.0.0.2", "  1");  // leading blanks are allowed in the threads box
    EXPECT_EQ(app.window.History(UiText::MainCaption).at(2), texts::kInitialising);
    EXPECT_EQ(app.probe.RequestCount(), 2);
    EXPECT_EQ(app.threads.Launched(), 1 + 1);
  }
  // A run in progress, or a load's start caption while a stopped scan's workers still finish.
  for (const bool finishing : {false, true}) {
    Handlers busy;
    busy.window.Put(UiText::StartStop, finishing ? texts::kStartCaption : texts::kStopCaption);
    busy.state.LiveThreads = finishing ? 1 : 0;
    busy.state.StopRequested = false;
    busy.Click("10.0.0.1", "10.0.0.2", "0");
    EXPECT_TRUE(busy.state.StopRequested);  // only a stop
    EXPECT_EQ(busy.threads.Launched(), 0);
  }
}

TEST(ListMenu, EachItemDoesItsCommand) {
  Handlers app;
  for (const char* key : {"001", "002", "003", "004", "005"}) app.table.AddRow(key);
  for (int row : {0, 2, 4}) app.table.SetSelected(row, true);
  for (ListMenuItem item : {kMenuSaveItem, kMenuLoadItem, kMenuExitItem, kMenuAboutItem}) {
    OnListMenu(app.commands, item);
  }
  EXPECT_EQ(app.ui.calls, std::string("save;load;close;") + texts::kAboutCaption + ";");
  OnListMenu(app.commands, kMenuDeleteItem);
  EXPECT_EQ(app.table.RowCount(), 2);
  EXPECT_EQ(app.table.GetCell(1, ColNumber), "004");
  OnListMenu(app.commands, kMenuDeleteItem);  // nothing selected now
  OnClearClick(app.commands);
  EXPECT_EQ(app.table.RowCount(), 0);
  EXPECT_FALSE(app.state.ListChanged);  // deleting and clearing leave it as it was
}

TEST(ListMenu, WakeOnlyWhenIdleWithASelection) {
  Handlers app;
  const std::int32_t row = app.table.AddRow("001");
  app.table.SetCell(row, ColMac, "00-1A-2B-3C-4D-5E");
  app.state.StopRequested = false;  // a run is in progress
  app.table.SetSelected(row, true);
  OnListMenu(app.commands, kMenuWakeItem);
  app.state.StopRequested = true;
  app.table.SetSelected(row, false);
  OnListMenu(app.commands, kMenuWakeItem);
  EXPECT_EQ(app.threads.Launched(), 0);
  app.table.SetSelected(row, true);
  OnListMenu(app.commands, kMenuWakeItem);
  app.threads.JoinAll();
  EXPECT_EQ(app.ui.calls, "packet;");
}

TEST(FormMessages, CloseStopsAndSavesF1ShowsAboutRightClickOpensTheMenu) {
  Handlers app;
  app.state.StopRequested = false;
  EXPECT_FALSE(OnFormMessage(app.commands, kCloseMessage));
  EXPECT_TRUE(app.state.StopRequested);
  app.ui.mayClose = false;  // the list the user wanted saved could not be written
  EXPECT_TRUE(OnFormMessage(app.commands, kCloseMessage));
  EXPECT_FALSE(OnFormMessage(app.commands, kHelpMessage));
  OnListMouse(app.commands, false);
  OnListMouse(app.commands, true);
  EXPECT_EQ(app.ui.calls, std::string(texts::kAboutCaption) + ";menu;");
}

}  // namespace
}  // namespace quarvo
