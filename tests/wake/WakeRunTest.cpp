#include <gtest/gtest.h>

#include <future>

#include "WakeFakes.h"
#include "core/ScanHarness.h"
#include "scan/RunSummary.h"
#include "text/Cp936Texts.h"
#include "wake/WakeRun.h"

namespace quarvo {
namespace {

using testing::RecordingWakeSocket;
using Texts = std::vector<std::string>;
using Pauses = std::vector<std::uint32_t>;

// A wake run with every seam faked. Row n (1 to 9) is numbered "0<n>", with the IP 10.0.0.<n>
// and the MAC 00-00-00-00-00-0<n>.
struct WakeHarness : testing::ScanHarness {
  RecordingWakeSocket socket;

  WakeHarness(int rows, std::initializer_list<int> selected) {
    for (int n = 1; n <= rows; ++n) {
      const std::int32_t row = table.AddRow("0" + std::to_string(n));
      table.SetCell(row, ColIp, "10.0.0." + std::to_string(n));
      table.SetCell(row, ColMac, "00-00-00-00-00-0" + std::to_string(n));
    }
    for (int n : selected) table.SetSelected(n - 1, true);
    window.Put(UiText::StartStop, texts::kStartCaption);
  }
  ~WakeHarness() { threads.JoinAll(); }  // before the socket goes

  void Run(const std::string& pause) {
    window.Put(UiText::Threads, pause);
    ASSERT_TRUE(StartWakeRun(context, socket));
    threads.JoinAll();
  }

  // The last MAC byte of every packet sent: the row numbers woken, in order.
  std::vector<int> Woken() {
    std::vector<int> rows;
    for (const auto& datagram : socket.Datagrams()) rows.push_back(datagram.back());
    return rows;
  }

  // The IP captions of the run, then its summary line.
  Texts Captions() { return window.History(UiText::MainCaption); }
};

std::string WakeSummary(std::uint32_t elapsed, std::uint32_t count, std::uint32_t rows) {
  return SummaryLine(texts::kRunWake, elapsed, count, rows, false, 0);
}

TEST(WakeRun, WakesEverySelectedRowThenWritesTheSummary) {
  WakeHarness wake(4, {1, 3, 4});
  wake.clock.Set(1000);
  wake.clock.SetStep(250);
  std::vector<bool> runningWhileSending;
  wake.socket.OnSend([&](std::size_t) {
    runningWhileSending.push_back(!wake.state.StopRequested &&
                                  wake.window.Text(UiText::StartStop) == texts::kStopCaption);
  });
  wake.Run("");
  EXPECT_EQ(wake.Woken(), (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(runningWhileSending, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(wake.clock.Sleeps(), (Pauses{1, 1, 1}));  // an empty box: 1 ms after every packet
  EXPECT_EQ(wake.Captions(), (Texts{"10.0.0.1", "10.0.0.3", "10.0.0.4", WakeSummary(250, 3, 4)}));
  // "停止(&S)" once as the menu starts the run, once more as its thread begins.
  EXPECT_EQ(wake.window.History(UiText::StartStop),
            (Texts{texts::kStopCaption, texts::kStopCaption, texts::kStartCaption}));
  EXPECT_TRUE(wake.state.StopRequested);
  EXPECT_EQ(wake.state.RunStartTick, 1000u);
}

TEST(WakeRun, StartsOnlyWhenIdleWithASelection) {
  const struct {
    bool idle;
    bool selected;
    bool threadAvailable;
    bool starts;
  } cases[] = {{true, true, true, true},
               {false, true, true, false},  // a scan or wake run is in progress
               {true, false, true, false},
               {true, true, false, false}};
  for (const auto& c : cases) {
    WakeHarness wake(2, {});
    if (c.selected) wake.table.SetSelected(1, true);
    wake.state.StopRequested = c.idle;
    if (!c.threadAvailable) wake.threads.RefuseFrom(0);
    EXPECT_EQ(StartWakeRun(wake.context, wake.socket), c.starts);
    wake.threads.JoinAll();
    EXPECT_EQ(wake.Woken().size(), c.starts ? 1u : 0u);
    if (!c.starts) {
      EXPECT_EQ(wake.state.StopRequested, c.idle);
      EXPECT_NE(wake.window.Text(UiText::StartStop), texts::kStopCaption);
    }
  }
}

// Holds the threads it is asked for until the test runs them.
struct DeferredThreads final : ThreadLauncher {
  bool Launch(std::function<void()> body) override {
    bodies.push_back(std::move(body));
    return true;
  }
  std::vector<std::function<void()>> bodies;
};

TEST(WakeRun, ASecondStartBeforeTheThreadRunsFindsTheProgramBusy) {
  WakeHarness wake(2, {1});
  DeferredThreads deferred;
  RunContext context{wake.state, wake.table, wake.window, wake.clock, deferred, wake.probe};
  EXPECT_TRUE(StartWakeRun(context, wake.socket));
  EXPECT_EQ(wake.window.Text(UiText::StartStop), texts::kStopCaption);  // a Start click now only stops
  EXPECT_FALSE(StartWakeRun(context, wake.socket));
  ASSERT_EQ(deferred.bodies.size(), 1u);
  deferred.bodies[0]();
  EXPECT_EQ(wake.Woken(), std::vector<int>{1});
}

TEST(WakeRun, SelectionGoneBeforeTheThreadRunsGivesAnEmptySummary) {
  WakeHarness wake(2, {});
  WakeWorker(wake.context, wake.socket);
  EXPECT_EQ(wake.socket.Calls(), Texts{});
  EXPECT_EQ(wake.clock.Sleeps(), Pauses{});
  EXPECT_EQ(wake.Captions(), (Texts{WakeSummary(0, 0, 2)}));
  EXPECT_EQ(wake.window.Text(UiText::StartStop), texts::kStartCaption);
}

TEST(WakeRun, PauseReadFromTheBoxAfterEveryPacket) {
  const struct {
    const char* text;
    std::uint32_t pause;
  } pauses[] = {{"", 1},          {"0", 0},   {"250", 250}, {"  250", 250},   {"$10", 16},
                {"250 ", 1},      {"abc", 1}, {"-1", 1},    {"$FFFFFFFF", 1}, {"2147483647", 2147483647u},
                {"2147483648", 1}};
  for (const auto& p : pauses) EXPECT_EQ(WakePause(p.text), p.pause) << p.text;

  // The box changed while each packet goes out: each pause follows the text of that moment.
  WakeHarness wake(3, {1, 2, 3});
  const Texts typed = {"0", "x", "40"};
  wake.socket.OnSend([&](std::size_t packet) { wake.window.Put(UiText::Threads, typed[packet]); });
  wake.Run("100");
  EXPECT_EQ(wake.clock.Sleeps(), (Pauses{0, 1, 40}));
}

TEST(WakeRun, StopDuringAPauseEndsTheRunAfterIt) {
  // The first pause holds the wake thread until the test has pressed Stop.
  std::promise<void> pausing, pressed;
  std::shared_future<void> stopPressed = pressed.get_future().share();
  WakeHarness wake(3, {1, 2, 3});
  wake.clock.Set(500);
  wake.clock.SetStep(5000);
  wake.clock.OnSleep([&](std::uint32_t) {
    if (wake.clock.Sleeps().size() == 1) pausing.set_value();
    stopPressed.wait();
  });
  wake.window.Put(UiText::Threads, "5000");
  ASSERT_TRUE(StartWakeRun(wake.context, wake.socket));
  ASSERT_EQ(pausing.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
  wake.state.StopRequested = true;
  pressed.set_value();
  wake.threads.JoinAll();
  EXPECT_EQ(wake.Woken(), (std::vector<int>{1}));
  EXPECT_EQ(wake.clock.Sleeps(), (Pauses{5000}));  // the pause ran out
  // The stopped run still ends with its summary, so the button can start the next run.
  EXPECT_EQ(wake.Captions(), (Texts{"10.0.0.1", WakeSummary(5000, 1, 3)}));
  EXPECT_EQ(wake.window.Text(UiText::StartStop), texts::kStartCaption);
  EXPECT_TRUE(wake.state.StopRequested);
}

TEST(WakeRun, WalksTheLiveSelection) {
  WakeHarness wake(5, {1, 2, 3});
  wake.socket.OnSend([&](std::size_t packet) {
    if (packet != 0) return;
    wake.table.SetSelected(0, false);  // the current row: already done
    wake.table.SetSelected(2, false);
    wake.table.SetSelected(4, true);
  });
  wake.Run("0");
  EXPECT_EQ(wake.Woken(), (std::vector<int>{1, 2, 5}));
  EXPECT_EQ(wake.Captions().back(), WakeSummary(0, 3, 5));
}

TEST(WakeRun, RowsWithoutAReadableMacAreLeftOut) {
  WakeHarness wake(4, {1, 2, 3, 4});
  wake.table.SetCell(0, ColMac, "");  // a row loaded from a file without its MAC
  wake.table.SetCell(2, ColMac, "001A2B3C4D5E");
  wake.Run("7");
  EXPECT_EQ(wake.Woken(), (std::vector<int>{2, 4}));
  EXPECT_EQ(wake.clock.Sleeps(), (Pauses{7, 7}));  // a pause after each packet that went out
  EXPECT_EQ(wake.Captions(), (Texts{"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4", WakeSummary(0, 2, 4)}));
}

}  // namespace
}  // namespace quarvo
