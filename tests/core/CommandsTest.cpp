#include <gtest/gtest.h>

#include "ScanHarness.h"
#include "app/Commands.h"
#include "scan/RunSummary.h"

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
  // A run in progress, or a load's start caption while a thread of an earlier run is still alive: a
  // stopped scan's workers, its last worker writing its summary, a wake thread.
  const struct {
    const char* caption;
    std::uint32_t workers, runs;
  } busyCases[] = {{texts::kStopCaption, 0, 0}, {texts::kStartCaption, 1, 1}, {texts::kStartCaption, 0, 1}};
  for (const auto& c : busyCases) {
    Handlers busy;
    busy.window.Put(UiText::StartStop, c.caption);
    busy.state.LiveThreads = c.workers;
    busy.state.LiveRuns = c.runs;
    busy.state.StopRequested = false;
    busy.Click("10.0.0.1", "10.0.0.2", "0");
    EXPECT_TRUE(busy.state.StopRequested);  // only a stop
    EXPECT_EQ(busy.threads.Launched(), 0);
  }
}

struct CountingListener final : TableListener {
  void TableChanged() override { ++changes; }
  int changes = 0;
};

TEST(ListMenu, EachItemDoesItsCommand) {
  Handlers app;
  for (const char* key : {"001", "002", "003", "004", "005"}) app.table.AddRow(key);
  for (int row : {0, 2, 4}) app.table.SetSelected(row, true);
  for (ListMenuItem item : {kMenuSaveItem, kMenuLoadItem, kMenuExitItem, kMenuAboutItem}) {
    OnListMenu(app.commands, item);
  }
  EXPECT_EQ(app.ui.calls, std::string("save;load;close;") + texts::kAboutCaption + ";");
  // The selected rows go in one change under the table's lock: a worker adding a row above cannot
  // come between finding a selected row and removing it.
  CountingListener listener;
  app.table.SetListener(&listener);
  OnListMenu(app.commands, kMenuDeleteItem);
  app.table.SetListener(nullptr);
  EXPECT_EQ(listener.changes, 1);
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

// A load during a wake run's pause gives the start caption back, but the wake thread is still
// alive: until it returns, a Start click and a second "唤醒" only ask for a stop, and the wake sends
// nothing more. Then a Start click scans to the scan's own summary.
TEST(ListMenu, NoRunStartsWhileAWakeThreadIsInItsPause) {
  Handlers app;
  for (const char* key : {"01", "02", "03"}) {
    const std::int32_t row = app.table.AddRow(key);
    app.table.SetCell(row, ColMac, "00-1A-2B-3C-4D-5E");
    app.table.SetSelected(row, true);
  }
  app.window.Put(UiText::StartIp, "10.0.0.1");
  app.window.Put(UiText::EndIp, "10.0.0.2");
  app.window.Put(UiText::Threads, "5000");
  bool loaded = false;
  app.clock.OnSleep([&](std::uint32_t) {  // on the wake thread, in its first pause
    if (loaded) return;
    loaded = true;
    ShowRunSummary(app.context, texts::kRunLoad, 0);  // the end of "载入"
    OnStartStopClick(app.commands);
    OnListMenu(app.commands, kMenuWakeItem);
    EXPECT_TRUE(app.state.StopRequested);
  });
  OnListMenu(app.commands, kMenuWakeItem);
  app.threads.JoinAll();
  EXPECT_EQ(app.threads.Launched(), 1);  // the wake thread alone
  EXPECT_EQ(app.probe.RequestCount(), 0);
  EXPECT_EQ(app.ui.calls, "packet;");
  EXPECT_EQ(app.window.Text(UiText::StartStop), texts::kStartCaption);
  app.window.Put(UiText::Threads, "0");
  app.Click("10.0.0.1", "10.0.0.2", "0");
  EXPECT_EQ(app.probe.RequestCount(), 2);
  ASSERT_EQ(app.Summaries().size(), 1u);
  EXPECT_EQ(app.Summaries()[0], app.window.Text(UiText::MainCaption));
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
