// Randomised sequences of the user's commands (start, stop, wake, load, clear, delete the selected
// rows, save, close) issued while scans on 1000 workers and wake runs in their pauses go on: no hang,
// no crash, no packet sent while a scan's workers run, no unselected row deleted, one summary line
// for each scan that started, and afterwards one row per machine number in the table's order, also
// in the saved file. A failure names its sequence's seed; QUARVO_SOAK_SEED=<seed> replays that one alone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include "app/Commands.h"
#include "net/AddressForms.h"
#include "platform/System.h"
#include "store/ResultsFileFormat.h"
#include "store/StoreFakes.h"

namespace quarvo {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;
using U8 = std::uint8_t;

// Under Wine each scan's 1000 threads take seconds to start and end.
#ifdef _WIN32
constexpr std::uint32_t kSequences = 10;
constexpr int kCommandsPerSequence = 6;
#else
constexpr std::uint32_t kSequences = 100;
constexpr int kCommandsPerSequence = 12;
#endif

// Ends the program, saying where, when one step of a sequence takes over a minute: a hung worker or
// command would otherwise hold the test until ctest's time-out without a word of where it hung.
struct Watchdog {
  ~Watchdog() { done = true, thread.join(); }
  void At(const std::string& at) {
    std::lock_guard<std::mutex> lock(mutex);
    where = at, since = Steady::now();
  }
  std::mutex mutex;
  std::string where = "start";
  Steady::time_point since = Steady::now();
  std::atomic<bool> done{false};
  std::thread thread{[this] {  // last: it starts once the fields above exist
    for (; !done; std::this_thread::sleep_for(100ms)) {
      std::lock_guard<std::mutex> lock(mutex);
      if (Steady::now() - since < 60s) continue;
      std::fprintf(stderr, "soak: no progress for 60 s at %s\n", where.c_str());
      std::fflush(stderr);
      std::abort();
    }
  }};
};

// The program's own detached threads (small stacks, as shipped), counted so that the test knows
// when the last has ended; those that the user-interface thread started tell which clicks started
// a scan (a scan's workers are started by a thread of their own).
struct CountedThreads final : ThreadLauncher {
  bool Launch(std::function<void()> body) override {
    ++running;
    if (!SystemThreads().Launch([this, body = std::move(body)] { body(), --running; }))
      return --running, false;
    if (std::this_thread::get_id() == ui) ++fromUi;  // written and read by that thread only
    return true;
  }
  const std::thread::id ui = std::this_thread::get_id();
  std::atomic<int> running{0};
  int fromUi = 0;
};

// Sends nothing; counts the packets handed over while a scan's workers were running.
struct BesideScanSocket final : WakeSocket {
  explicit BesideScanSocket(RunState& state) : state(state) {}
  bool Startup() override { return true; }
  SocketHandle OpenDatagram() override { return 1; }
  bool AllowBroadcast(SocketHandle) override { return true; }
  bool SendTo(SocketHandle, const std::uint8_t*, std::size_t, std::uint32_t, std::uint16_t) override {
    ++packets;
    besideScan += state.LiveThreads != 0;
    return true;
  }
  void Close(SocketHandle) override {}
  void Cleanup() override {}
  RunState& state;
  std::atomic<int> packets{0}, besideScan{0};
};

// The window's handlers over the real results-file operations, with files and dialogs in memory.
struct SoakApp : testing::PersistenceHarness, ListFiles, Shell {
  void Save() override { SaveListOnRequest(persistence); }
  void Load() override { LoadList(persistence); }
  bool SaveOnClose() override { return quarvo::SaveOnClose(persistence); }
  void ShowListMenuAtCursor() override {}
  void PostCloseRequest() override {}
  CountedThreads workers;
  RunContext run{state, table, window, clock, workers, probe};
  BesideScanSocket socket{state};
  CommandContext commands{run, dialogs, *this, socket, *this};
};

struct Figures {
  int commands = 0, started = 0, refused = 0, packets = 0;
} figures;

std::string Dotted(int offset) {
  return "10.0." + std::to_string(offset / 256) + "." + std::to_string(offset % 256);
}

// Each machine number once, in the table's order: every key sorts strictly after the one before.
void ExpectOneSortedRowPerNumber(const std::vector<std::string>& numbers, const char* where) {
  for (std::size_t i = 1; i < numbers.size(); ++i)
    ASSERT_LT(SortKeyOf(numbers[i - 1]), SortKeyOf(numbers[i])) << where << ", row " << i;
}

std::vector<std::string> SavedNumbers(SoakApp& app) {
  std::vector<std::string> numbers;
  for (const StoredRow& row : ParseResultsFile(app.ListFile())) numbers.push_back(row.number);
  return numbers;
}

void RunSequence(std::uint32_t seed, Watchdog& watchdog) {
  SCOPED_TRACE("sequence seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  std::vector<int> timeoutMs(1000);  // a silent address keeps its worker for its time-out
  SoakApp app;
  app.clock.OnSleep(
      [](std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms % 20)); });
  app.window.Put(UiText::StartStop, texts::kStartCaption);
  app.window.Put(UiText::EndIp, "10.0.3.231");  // from 10.0.0.0: 1000 addresses, 1000 machine numbers
  app.probe.SetLatency(static_cast<std::uint32_t>(pick(3)));
  for (int offset = 0; offset < 1000; ++offset) {  // a third answers; some MACs differ from the stored
    if (pick(3) == 0)
      app.probe.Answer(Dotted(offset), {2, 0, 0, U8(pick(2)), U8(offset >> 8), U8(offset)});
    else if (pick(4) == 0)
      timeoutMs[static_cast<std::size_t>(offset)] = pick(30);
  }
  app.probe.OnRequest([&timeoutMs](std::uint32_t network) {  // 10.0.c.d is offset c * 256 + d
    std::this_thread::sleep_for(
        std::chrono::milliseconds(timeoutMs[(network >> 16 & 0xFF) * 256 + (network >> 24)]));
  });
  // A list saved earlier: some of the range, and keys in either letter case that no scan forms.
  std::vector<StoredRow> stored{{"x1", "10.9.9.1", "02-00-00-00-00-01"}, {"Y2", "", ""}};
  for (int number = 0; number < 256; number += 1 + pick(16))
    stored.push_back({FormatMachineNumber(number, 3), Dotted(number), "02-00-00-00-00-00"});
  app.files.files[texts::kResultsFileName] = FormatResultsFile(stored);

  const char* names[] = {"start/stop", "clear", "delete", "save", "load", "wait for idle", "close", "wake"};
  const int startedBefore = figures.started;
  std::string where;
  std::discrete_distribution<int> commandOf({6, 2, 3, 3, 3, 2, 1, 3});  // weights, in the order of names
  for (int step = 0; step < kCommandsPerSequence; ++step) {
    const int command = commandOf(random);
    where =
        "seed " + std::to_string(seed) + ", command " + std::to_string(step) + " (" + names[command] + ")";
    watchdog.At(where);
    ++figures.commands;
    if (command == 0) {  // a start when idle, else a stop; now and then a box the start refuses
      app.window.Put(UiText::StartIp, pick(20) == 0 ? "no address" : "10.0.0.0");
      app.window.Put(UiText::Threads, pick(10) == 0 ? "x" : pick(2) ? "1000" : "0");
      const bool idle = app.window.Text(UiText::StartStop) == texts::kStartCaption;
      const int launched = app.workers.fromUi;
      OnStartStopClick(app.commands);
      figures.started += app.workers.fromUi > launched;
      figures.refused += idle && app.workers.fromUi == launched;
    } else if (command == 1) {
      OnClearClick(app.commands);
    } else if (command == 2 || command == 7) {  // the user selects some rows, then deletes or wakes them
      std::vector<std::string> unselected;
      app.table.Transact([&](ResultsTable::Rows& rows) {
        for (std::int32_t row = 0; row < rows.RowCount(); ++row) {
          rows.SetSelected(row, pick(4) == 0);
          if (!rows.IsSelected(row)) unselected.push_back(rows.GetCell(row, ColNumber));
        }
      });
      app.window.Put(UiText::Threads, std::to_string(pick(30)));  // a wake's pause
      OnListMenu(app.commands, command == 2 ? kMenuDeleteItem : kMenuWakeItem);
      for (const std::string& number : unselected) ASSERT_GE(app.table.FindRow(number), 0) << where;
    } else if (command == 3) {
      OnListMenu(app.commands, kMenuSaveItem);
      ExpectOneSortedRowPerNumber(SavedNumbers(app), "file saved during the sequence");
    } else if (command == 4) {
      OnListMenu(app.commands, kMenuLoadItem);
    } else if (command == 5) {
      while (app.window.Text(UiText::StartStop) != texts::kStartCaption) std::this_thread::sleep_for(1ms);
    } else if (command == 6) {
      app.dialogs.answer = pick(2) == 0;
      if (!OnFormMessage(app.commands, kCloseMessage)) break;  // the window closes: the sequence ends
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(pick(6)));
  }
  watchdog.At(where + ", then waiting for the workers to end");
  while (app.workers.running != 0) std::this_thread::sleep_for(1ms);
  watchdog.At(where + ", then checking");

  EXPECT_EQ(app.Summaries().size(), static_cast<std::size_t>(figures.started - startedBefore));
  EXPECT_EQ(app.socket.besideScan, 0);
  figures.packets += app.socket.packets;
  EXPECT_EQ(app.window.Text(UiText::StartStop), texts::kStartCaption);
  EXPECT_TRUE(app.state.StopRequested);
  std::vector<std::string> numbers;
  for (std::int32_t row = 0; row < app.table.RowCount(); ++row) numbers.push_back(app.table.GetCell(row, 0));
  ExpectOneSortedRowPerNumber(numbers, "table");
  ASSERT_TRUE(SaveListOnRequest(app.persistence));
  EXPECT_EQ(SavedNumbers(app), numbers);
  EXPECT_FALSE(app.state.ListChanged);
}

TEST(RaceSoak, UserCommandsDuringThousandWorkerScans) {
  const char* replay = std::getenv("QUARVO_SOAK_SEED");
  const std::uint32_t first = replay ? static_cast<std::uint32_t>(std::strtoul(replay, nullptr, 10)) : 1;
  const std::uint32_t count = replay ? 1 : kSequences;
  Watchdog watchdog;
  const auto begin = Steady::now();
  for (std::uint32_t seed = first; seed < first + count && !HasFatalFailure(); ++seed) {
    RunSequence(seed, watchdog);
  }
  const std::chrono::duration<double> took = Steady::now() - begin;
  std::printf("soak: %u sequences, %d commands, %d scans started, %d starts refused, %d packets, %.1f s\n",
              count, figures.commands, figures.started, figures.refused, figures.packets, took.count());
}

}  // namespace
}  // namespace quarvo
