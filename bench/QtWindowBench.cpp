// The scan engine with the real Linux window: how fast answers and rows reach the view, how quickly
// the event loop answers meanwhile, and how fast the window starts and how much memory it takes.
//
//   qt_window_bench             runs everything and prints the figures
//   qt_window_bench --startup   (run by the benchmark itself) builds the window, says when it is
//                               first exposed, then prints its peak resident set
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "BenchParts.h"
#include "front/qt/QtProgram.h"
#include "platform/System.h"
#include "scan/ScanRun.h"

extern char** environ;

namespace {

using namespace quarvo;
using namespace quarvo::bench;

const char* const kWhere = "Linux, Qt window";

struct NoDialogs final : Dialogs {
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  void ShowError(const std::string&) override {}
  void ShowMessage(const std::string&, const std::string&) override {}
};

struct ProbeRef final : ArpProbe {
  explicit ProbeRef(ArpProbe& probe) : probe_(probe) {}
  void Request(std::uint32_t address, MacBytes& mac) override { probe_.Request(address, mac); }
  ArpProbe& probe_;
};

double PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6);
  }
  return 0;
}

// Runs the event loop until `done` holds or the time is up; false on time-out.
bool RunUntil(const std::function<bool()>& done, int timeoutMs = 120000) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  poll.start(1);
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  loop.exec();
  return done();
}

// Posts a call to the user-interface thread every 10 ms and waits for it: the event loop's round trip.
class Pinger {
 public:
  explicit Pinger(QObject* receiver)
      : thread_([this, receiver] {
          while (!done_) {
            const auto sent = Steady::now();
            QMetaObject::invokeMethod(
                receiver, [] {}, Qt::BlockingQueuedConnection);
            trips_.push_back(MillisecondsSince(sent));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
          finished_ = true;
        }) {}
  std::vector<double> Stop() {
    done_ = true;
    // The last call needs the loop to answer it.
    RunUntil([this] { return finished_.load(); }, 100);
    thread_.join();
    return trips_;
  }
  ~Pinger() {
    if (thread_.joinable()) Stop();
  }

 private:
  std::atomic<bool> done_{false};
  std::atomic<bool> finished_{false};
  std::vector<double> trips_;
  std::thread thread_;
};

void ReportTrips(const char* during, const std::vector<double>& trips) {
  const double p99 = Percentile(trips, 0.99);
  Report(kWhere, (std::string("  event-loop round trip during ") + during + ", p50").c_str(),
         Figure("%.2f ms", Percentile(trips, 0.5)).c_str());
  Report(kWhere, (std::string("  event-loop round trip during ") + during + ", p99").c_str(),
         Figure("%.2f ms", p99).c_str(), "<= 20 ms", p99 <= 20);
}

// Host names without the network: every machine gets a name after a short wait, as from a resolver
// on the same LAN.
struct LocalNames final : HostNameSource {
  std::string Resolve(std::uint32_t address) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return "host-" + std::to_string(address & 0xFFFF) + ".lan";
  }
};

// `names`: the vendor and host name columns shown, vendors from the system's registries.
std::unique_ptr<QtProgram> NewProgram(ArpProbe& probe, Dialogs& dialogs, bool names = false) {
  auto engine = [&probe](const ArpEngineOptions&) {
    OpenedArpEngine opened;
    opened.probe = std::make_unique<ProbeRef>(probe);
    return opened;
  };
  std::vector<std::string> folders;
  std::function<std::unique_ptr<HostNames>()> hostNames;
  if (names) {
    folders = {"/var/lib/ieee-data", "/usr/share/ieee-data"};
    if (!std::getenv("NO_HOSTS"))
      hostNames = [] {
        return std::make_unique<HostNames>(std::make_shared<LocalNames>(), 16,
                                           std::chrono::milliseconds(2000));
      };
  }
  auto program = std::make_unique<QtProgram>(WindowSeams{SystemClock(), SystemThreads(), SystemFiles(),
                                                         SystemProfile(), SystemWakeSocket(), engine,
                                                         OwnNetworkRange, &dialogs, "", folders, hostNames});
  if (names) {
    program->Window()->ShowColumn(kVendorColumn, true);
    program->Window()->ShowColumn(kHostNameColumn, true);
  }
  return program;
}

// The /16 through the Start button with every address answering at once: answers merged into the
// table and shown by the view (one row per address: every address has a machine number of its own).
void ScanBenchmark(QtProgram& program, const std::string& label = "") {
  WindowPort& port = program.Commands().run.window;
  port.SetText(UiText::StartIp, "10.0.0.0");
  port.SetText(UiText::EndIp, "10.0.255.255");
  port.SetText(UiText::Threads, "1000");
  Pinger pinger(program.Window());
  const auto start = Steady::now();
  program.Window()->startStopButton->click();
  const bool done = RunUntil([&] {
    return program.state.StopRequested && program.state.LiveThreads == 0 &&
           program.Model().rowCount() == kMachineNumbers;
  });
  const double ms = MillisecondsSince(start);
  const std::vector<double> trips = pinger.Stop();
  const double rate = kAddresses / (ms / 1000.0);
  Report(kWhere, ("answering /16, 1000 workers, 0 ms probe: answers into the view" + label).c_str(),
         Figure("%.0f /s", rate).c_str(), ">= 200000 /s", done && rate >= 200000);
  Report(kWhere, "  until the summary and every row are shown", Figure("%.0f ms", ms).c_str());
  Report(kWhere, "  table sorted, one row per machine number",
         SortedAndComplete(program.table, kMachineNumbers) ? "yes" : "NO");
  ReportTrips("the scan", trips);
}

// 1000 workers merging 65,536 machines of their own into `table`, as a scan merges its answers.
// They are started from a thread of their own, as a scan's are, so the event loop goes on meanwhile.
std::thread MergeRows(ResultsTable& table, std::atomic<bool>& listChanged) {
  return std::thread([&table, &listChanged] {
    std::vector<std::thread> workers;
    for (std::uint32_t worker = 0; worker < kWorkers; ++worker) {
      workers.emplace_back([&table, &listChanged, worker] {
        char number[16];
        for (std::uint32_t i = worker; i < kAddresses; i += kWorkers) {
          std::snprintf(number, sizeof number, "%05u", i);
          MergeAnswer(table, listChanged, number, "10.0.0.1", "02-00-00-00-00-01", worker + 1);
        }
      });
    }
    for (std::thread& worker : workers) worker.join();
  });
}

void RowsBenchmark(QtProgram& program) {
  {
    ResultsTable alone;
    std::atomic<bool> changed{false};
    const auto start = Steady::now();
    MergeRows(alone, changed).join();
    Report(kWhere, "65,536 machines from 1000 workers, table alone (no window)",
           Figure("%.0f rows/s", kAddresses / (MillisecondsSince(start) / 1000.0)).c_str());
  }
  program.table.ClearRows();
  program.Batcher().CatchUpNow();
  Pinger pinger(program.Window());
  const auto start = Steady::now();
  std::thread starter = MergeRows(program.table, program.state.ListChanged);
  const bool done = RunUntil([&] { return program.Model().rowCount() == static_cast<int>(kAddresses); });
  const double ms = MillisecondsSince(start);
  const std::vector<double> trips = pinger.Stop();
  starter.join();
  const double rate = kAddresses / (ms / 1000.0);
  Report(kWhere, "65,536 machines from 1000 workers: rows into the view", Figure("%.0f /s", rate).c_str(),
         ">= 200000 /s", done && rate >= 200000);
  Report(kWhere, "  table sorted, every row shown",
         SortedAndComplete(program.table, static_cast<std::int32_t>(kAddresses)) ? "yes" : "NO");
  ReportTrips("the rows' arrival", trips);
}

// In a child: the window built as `quarvo` builds it, until its first expose.
int StartupChild(int argc, char** argv) {
  QApplication application(argc, argv);
  NoDialogs dialogs;
  SleepingProbe probe;
  auto program = NewProgram(probe, dialogs);
  struct ExposeWatch final : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Expose && !seen) {
        seen = true;
        std::printf("shown\n");
        std::fflush(stdout);
      }
      return false;
    }
    bool seen = false;
  } watch;
  program->Window()->winId();  // the platform window exists now: its expose is watched
  program->Window()->windowHandle()->installEventFilter(&watch);
  program->Show();
  RunUntil([&] { return watch.seen; }, 10000);
  QTimer::singleShot(500, &application, &QApplication::quit);
  QApplication::exec();
  std::printf("%.0f\n", PeakResidentKb());
  std::fflush(stdout);
  std::_Exit(0);
}

void StartupBenchmark(const char* self) {
  std::vector<double> startUps, peaks;
  for (int round = 0; round < 5; ++round) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    char* args[] = {const_cast<char*>(self), const_cast<char*>("--startup"), nullptr};
    pid_t child = 0;
    const auto start = Steady::now();
    if (posix_spawn(&child, self, &actions, nullptr, args, environ) != 0) return;
    close(pipeFds[1]);
    FILE* out = fdopen(pipeFds[0], "r");
    char line[64];
    double shownMs = 0;
    if (std::fgets(line, sizeof line, out) != nullptr) shownMs = MillisecondsSince(start);
    if (std::fgets(line, sizeof line, out) != nullptr) peaks.push_back(std::atof(line) / 1024.0);
    std::fclose(out);
    waitpid(child, nullptr, 0);
    posix_spawn_file_actions_destroy(&actions);
    startUps.push_back(shownMs);
  }
  const double startUp = Percentile(startUps, 0.5);
  const double peak = Percentile(peaks, 0.5);
  Report(kWhere, "start-up to the first expose of the window (median of 5)",
         Figure("%.0f ms", startUp).c_str(), "<= 300 ms", startUp <= 300);
  Report(kWhere, "  peak resident set after start-up", Figure("%.1f MB", peak).c_str(), "<= 40 MB",
         peak <= 40);
}

}  // namespace

int main(int argc, char** argv) {
  // Settings in a folder of the benchmark's own, never the user's.
  char folder[] = "/tmp/quarvo-bench-XXXXXX";
  if (argc > 1 && std::string(argv[1]) == "--startup") return StartupChild(argc, argv);
  if (mkdtemp(folder) == nullptr || chdir(folder) != 0) return 1;
  setenv("XDG_CONFIG_HOME", folder, 1);
  StartupBenchmark("/proc/self/exe");
  {
    QApplication application(argc, argv);
    NoDialogs dialogs;
    SleepingProbe probe;
    probe.Set(0, true);
    auto* program = NewProgram(probe, dialogs).release();  // workers may outlive the measurement
    program->Show();
    RunUntil([&] { return program->Window()->isVisible(); });
    ScanBenchmark(*program);
    RowsBenchmark(*program);
    {
      // The vendor registries as the window reads them at its first vendor: once, into sorted tables.
      VendorNames vendors({"/var/lib/ieee-data", "/usr/share/ieee-data"});
      const auto start = Steady::now();
      const bool available = vendors.Available();
      Report(kWhere, "vendor registries read at the first lookup",
             available ? Figure("%.0f ms", MillisecondsSince(start)).c_str() : "no ieee-data");
    }
    // A full repaint of the list, as scrolling through it asks for, without and with the names.
    const auto repaintMs = [](QtProgram& shown) {
      shown.Window()->resultsTable->scrollToBottom();
      const auto paint = Steady::now();
      for (int i = 0; i < 50; ++i) shown.Window()->resultsTable->viewport()->repaint();
      return MillisecondsSince(paint) / 50;
    };
    const double plainRepaint = repaintMs(*program);
    // The same scan with both name columns shown, each answering machine's name looked up beside it.
    program->Window()->hide();
    auto* named = NewProgram(probe, dialogs, true).release();
    named->Show();
    RunUntil([&] { return named->Window()->isVisible() && named->VendorsLoaded(); });
    ScanBenchmark(*named, ", names on");
    Report(kWhere, "  one full repaint of the list: six columns / with both name columns",
           (Figure("%.2f", plainRepaint) + " / " + Figure("%.2f ms", repaintMs(*named))).c_str());
    Report(kWhere, "  peak resident set of the benchmark after both runs",
           Figure("%.1f MB", PeakResidentKb() / 1024.0).c_str());
  }
  std::fflush(stdout);
  std::_Exit(0);
}
