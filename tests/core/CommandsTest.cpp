#include <gtest/gtest.h>

#include "ScanHarness.h"
#include "text/Cipher.h"
#include "text/EncipheredTexts.h"
#include "ui/commands/Commands.h"

namespace quarvo {
namespace {

using testing::ScanHarness;

struct FakeDialogs final : Dialogs {
  bool AskYesNo(const std::string&, const std::string&) override { return true; }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  void ShowMessage(const std::string& text, const std::string& caption) override {
    messages.push_back(caption + "|" + text);
  }
  std::vector<std::string> errors, messages;
};

struct FakeFiles final : ListFiles {
  void Save() override { calls += "save;"; }
  void Load() override { calls += "load;"; }
  bool SaveOnClose() override {
    calls += "close;";
    return mayClose;
  }
  std::string calls;
  bool mayClose = true;
};

struct FakeShell final : Shell {
  void ShowListMenuAtCursor() override { calls += "menu;"; }
  void PostCloseRequest() override { calls += "close;"; }
  std::string calls;
};

struct CountingSocket final : WakeSocket {
  bool Startup() override { return true; }
  SocketHandle OpenDatagram() override { return 3; }
  bool AllowBroadcast(SocketHandle) override { return true; }
  bool SendTo(SocketHandle, const std::uint8_t*, std::size_t, std::uint32_t, std::uint16_t) override {
    ++sent;
    return true;
  }
  void Close(SocketHandle) override {}
  void Cleanup() override {}
  std::atomic<int> sent{0};
};

struct Handlers {
  ScanHarness h;
  FakeDialogs dialogs;
  FakeFiles files;
  FakeShell shell;
  CountingSocket socket;
  CommandContext context{h.context, dialogs, files, socket, shell};

  void Idle() { h.window.Put(UiText::StartStop, texts::kStartCaption); }
  void Range(const char* start, const char* end, const char* threads) {
    h.window.Put(UiText::StartIp, start);
    h.window.Put(UiText::EndIp, end);
    h.window.Put(UiText::Threads, threads);
  }
};

TEST(StartStopButton, CaptionDecidesBetweenStartAndStop) {
  Handlers app;
  app.Idle();
  app.Range("10.0.0.1", "10.0.0.2", "0");
  OnStartStopClick(app.context);
  app.h.threads.JoinAll();
  EXPECT_EQ(app.h.window.History(UiText::MainCaption).front(), texts::kInitialising);
  EXPECT_EQ(app.h.probe.RequestCount(), 2);
  EXPECT_EQ(app.h.window.Text(UiText::StartStop), texts::kStartCaption);

  // While the button reads "停止(&S)" a click only asks the run to stop.
  app.h.window.Put(UiText::StartStop, texts::kStopCaption);
  app.h.state.StopRequested = false;
  OnStartStopClick(app.context);
  EXPECT_TRUE(app.h.state.StopRequested);
  EXPECT_EQ(app.h.probe.RequestCount(), 2);
  EXPECT_EQ(app.h.threads.Launched(), 2);
}

TEST(StartStopButton, RefusedStartReturnsToIdleAndSaysWhy) {
  const struct {
    const char* start;
    const char* end;
    const char* threads;
    const char* caption;
    bool error;
  } cases[] = {
      {"255.255.255.255", "10.0.0.1", "0", texts::kStartAddressRefused, false},
      {"10.0.0.1", "x", "0", texts::kEndAddressRefused, false},
      {"10.0.0.1", "10.0.0.2", "2 ", texts::kThreadsRefused, true},
  };
  for (const auto& c : cases) {
    Handlers app;
    app.Idle();
    app.Range(c.start, c.end, c.threads);
    OnStartStopClick(app.context);
    EXPECT_EQ(app.h.window.Text(UiText::MainCaption), c.caption);
    EXPECT_EQ(app.h.window.Text(UiText::StartStop), texts::kStartCaption);
    EXPECT_TRUE(app.h.state.StopRequested);
    ASSERT_EQ(app.dialogs.errors.size(), c.error ? 1u : 0u);
    if (c.error) {
      EXPECT_EQ(app.dialogs.errors[0], "'2 ' is not a valid integer value");
    }
    // The program is idle again: the next click starts a scan.
    app.Range("10.0.0.1", "10.0.0.1", "0");
    OnStartStopClick(app.context);
    app.h.threads.JoinAll();
    EXPECT_EQ(app.h.probe.RequestCount(), 1);
  }
}

TEST(ListMenu, EachIndexDoesItsCommand) {
  Handlers app;
  for (const char* key : {"001", "002", "003", "004", "005"}) app.h.table.AddRow(key);
  for (int row : {0, 2, 4}) app.h.table.SetSelected(row, true);
  app.h.state.ListChanged = true;
  for (int separator : {1, 3, 5, 7, 9, 11, -1}) OnListMenu(app.context, separator);
  OnListMenu(app.context, kMenuSaveItem);
  OnListMenu(app.context, kMenuLoadItem);
  OnListMenu(app.context, kMenuExitItem);
  EXPECT_EQ(app.files.calls, "save;load;");
  EXPECT_EQ(app.shell.calls, "close;");
  OnListMenu(app.context, kMenuDeleteItem);
  EXPECT_EQ(app.h.table.RowCount(), 2);
  EXPECT_EQ(app.h.table.GetCell(0, ColNumber), "002");
  EXPECT_EQ(app.h.table.GetCell(1, ColNumber), "004");
  EXPECT_TRUE(app.h.state.ListChanged);
  OnListMenu(app.context, kMenuDeleteItem);  // nothing selected: nothing removed
  EXPECT_EQ(app.h.table.RowCount(), 2);
  OnClearClick(app.context);
  EXPECT_EQ(app.h.table.RowCount(), 0);
  EXPECT_TRUE(app.h.state.ListChanged);
  OnListMenu(app.context, kMenuAboutItem);
  ASSERT_EQ(app.dialogs.messages.size(), 1u);
  EXPECT_EQ(app.dialogs.messages[0], std::string(texts::kAboutCaption) + "|" + AboutBoxText());
}

TEST(ListMenu, WakeOnlyWhenIdleWithASelection) {
  Handlers app;
  const std::int32_t row = app.h.table.AddRow("001");
  app.h.table.SetCell(row, ColMac, "00-1A-2B-3C-4D-5E");
  app.h.state.StopRequested = false;  // a scan is running
  app.h.table.SetSelected(row, true);
  OnListMenu(app.context, kMenuWakeItem);
  EXPECT_EQ(app.h.threads.Launched(), 0);
  app.h.state.StopRequested = true;
  app.h.table.SetSelected(row, false);
  OnListMenu(app.context, kMenuWakeItem);
  EXPECT_EQ(app.h.threads.Launched(), 0);
  app.h.table.SetSelected(row, true);
  OnListMenu(app.context, kMenuWakeItem);
  app.h.threads.JoinAll();
  EXPECT_EQ(app.socket.sent, 1);
}

TEST(FormMessages, CloseStopsRunsAndSavesF1ShowsAboutRightClickOpensMenu) {
  Handlers app;
  app.h.state.StopRequested = false;
  EXPECT_FALSE(OnFormMessage(app.context, kCloseMessage));
  EXPECT_TRUE(app.h.state.StopRequested);
  EXPECT_EQ(app.files.calls, "close;");
  app.files.mayClose = false;  // the list could not be written: the window stays open
  EXPECT_TRUE(OnFormMessage(app.context, kCloseMessage));
  EXPECT_FALSE(OnFormMessage(app.context, kHelpMessage));
  EXPECT_EQ(app.dialogs.messages.size(), 1u);
  EXPECT_FALSE(OnFormMessage(app.context, 15));
  OnListMouse(app.context, false);
  EXPECT_EQ(app.shell.calls, "");
  OnListMouse(app.context, true);
  EXPECT_EQ(app.shell.calls, "menu;");
}

TEST(AboutBox, DecipheredTextThenHelpText) {
  const std::string text = AboutBoxText();
  const std::string about = DecipherText(texts::kAboutTextHex);
  EXPECT_EQ(text.substr(0, about.size()), about);
  EXPECT_EQ(text.substr(about.size()), texts::kHelpText);
}

}  // namespace
}  // namespace quarvo
