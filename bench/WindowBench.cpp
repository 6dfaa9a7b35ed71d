// The scan engine with the real main window, on Windows: a 1000-worker scan of a silent /16 against
// the platform's floor, how fast answers reach the table and the list view, how quickly the window
// answers a message meanwhile, and how fast the program starts.
//
//   window_bench [Quarvo.exe]     with the program's path, its start-up and working set as well
#include <windows.h>
// After windows.h:
#include <commctrl.h>
#include <psapi.h>

#include <thread>

#include "BenchParts.h"
#include "front/win32/AppPorts.h"
#include "platform/System.h"

namespace {

using namespace quarvo;
using namespace quarvo::bench;

const char* const kWhere = "Wine, real window";

struct NoUi final : Dialogs, ListFiles {
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  void ShowError(const std::string&) override {}
  void ShowMessage(const std::string&, const std::string&) override {}
  void Save() override {}
  void Load() override {}
  bool SaveOnClose() override { return true; }
};

struct Bench {
  RunState state;
  ResultsTable table;
  SleepingProbe probe;
  ControlWindowPort port;
  SummaryWatch window{port};
  RunContext run{state, table, window, SystemClock(), SystemThreads(), probe};
  NoUi ui;
  WinShell shell;
  CommandContext commands{run, ui, ui, SystemWakeSocket(), shell};
  int summaries = 0;
};

constexpr UINT kRunOnUiMessage = WM_APP + 0x300;  // lParam: std::function<void()>*

HWND MainWindow() {
  return WindowHandle(Controls().MainForm);
}

void RunOnUi(const std::function<void()>& action) {
  SendMessageW(MainWindow(), kRunOnUiMessage, 0, reinterpret_cast<LPARAM>(&action));
}

// Measures the round trip of a message to the main window every 10 ms until it is destroyed.
class Pinger {
 public:
  Pinger()
      : thread_([this] {
          while (!done_) {
            const auto sent = Steady::now();
            SendMessageW(MainWindow(), WM_NULL, 0, 0);
            roundTrips_.push_back(MillisecondsSince(sent));
            Sleep(10);
          }
        }) {}
  ~Pinger() {
    if (thread_.joinable()) Stop();
  }
  const std::vector<double>& Stop() {
    done_ = true;
    thread_.join();
    return roundTrips_;
  }

 private:
  std::atomic<bool> done_{false};
  std::vector<double> roundTrips_;
  std::thread thread_;
};

void ReportRoundTrips(const char* during, const std::vector<double>& roundTrips) {
  const double p99 = Percentile(roundTrips, 0.99);
  Report(kWhere, (std::string("  message round trip to the main window during ") + during + ", p50").c_str(),
         Figure("%.1f ms", Percentile(roundTrips, 0.5)).c_str());
  Report(kWhere, (std::string("  message round trip to the main window during ") + during + ", p99").c_str(),
         Figure("%.1f ms", p99).c_str(), "<= 100", p99 <= 100);
  Report(kWhere, (std::string("  message round trip to the main window during ") + during + ", max").c_str(),
         Figure("%.1f ms", Percentile(roundTrips, 1)).c_str());
}

// Clicks Start with the /16 in the boxes and returns the milliseconds until the summary.
double TimedScan(Bench& bench, std::uint32_t latencyMs, bool answer) {
  bench.probe.Set(latencyMs, answer);
  RunOnUi([&] { bench.table.ClearRows(); });
  SetControlText(Controls().StartIpEdit, "10.0.0.0");
  SetControlText(Controls().EndIpEdit, "10.0.255.255");
  SetControlText(Controls().ThreadsEdit, "1000");
  const auto start = Steady::now();
  RunOnUi([&] { OnStartStopClick(bench.commands); });
  const double click = MillisecondsSince(start);
  bench.summaries = bench.window.Wait(bench.summaries);
  if (answer) return MillisecondsSince(start);
  Report(kWhere, "  Start click handled in", Figure("%.0f ms", click).c_str());
  return MillisecondsSince(start);
}

struct FoundWindow {
  DWORD process;
  bool visible;
};

// The main window is the visible top-level window that has an owner (the application window).
BOOL CALLBACK FindVisibleMainWindow(HWND window, LPARAM found) {
  auto* search = reinterpret_cast<FoundWindow*>(found);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->process && IsWindowVisible(window) && GetWindow(window, GW_OWNER) != nullptr) {
    search->visible = true;
  }
  return TRUE;
}

// The program started in an empty folder: milliseconds until its main window is visible, and its
// peak working set once it has settled. The median of five starts.
void MeasureStartUp(const wchar_t* program) {
  std::vector<double> startUps, peaks;
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  for (int round = 0; round < 5; ++round) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = std::wstring(L"\"") + program + L"\"";
    const auto start = Steady::now();
    if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                        &process)) {
      Report("Wine", "start-up", "program did not start");
      return;
    }
    FoundWindow search{process.dwProcessId, false};
    while (!search.visible && MillisecondsSince(start) < 30000) {
      EnumWindows(FindVisibleMainWindow, reinterpret_cast<LPARAM>(&search));
      if (!search.visible) Sleep(1);
    }
    startUps.push_back(MillisecondsSince(start));
    Sleep(500);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory);
    peaks.push_back(static_cast<double>(memory.PeakWorkingSetSize) / 1024.0);
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  Report("Wine", "start-up to visible main window (median of 5)",
         Figure("%.0f ms", Percentile(startUps, 0.5)).c_str());
  Report("Wine", "  peak working set after start-up", Figure("%.0f KB", Percentile(peaks, 0.5)).c_str());
}

void RunBenchmarks(Bench& bench, const wchar_t* program) {
  while (MainWindow() == nullptr || !IsWindowVisible(MainWindow())) Sleep(1);

  auto* pinger = new Pinger;
  const double wall = TimedScan(bench, kLatencyMs, false);
  const std::vector<double> scanTrips = pinger->Stop();
  delete pinger;
  Sleep(1000);  // the workers of the scan end their threads
  pinger = new Pinger;
  const double floor = ThreadFloor(kAddresses, kWorkers, kLatencyMs);
  const std::vector<double> floorTrips = pinger->Stop();
  delete pinger;
  Report(kWhere, "silent /16, 1000 workers, 20 ms probe: wall", Figure("%.0f ms", wall).c_str());
  Report(kWhere, "  ideal ceil(N/T) x 20 ms", Figure("%.0f ms", kIdealMs).c_str());
  Report(kWhere, "  floor (threads and sleeps alone)", Figure("%.0f ms", floor).c_str());
  Report(kWhere, "  wall / floor", Figure("%.3f", wall / floor).c_str(), "<= 1.3", wall / floor <= 1.3);
  ReportRoundTrips("the scan", scanTrips);
  ReportRoundTrips("the floor run", floorTrips);

  Sleep(1000);
  const auto start = Steady::now();
  const double merged = TimedScan(bench, 0, true);
  const double rate = kAddresses / (merged / 1000.0);
  while (SendMessageW(WindowHandle(Controls().ResultsTable), LVM_GETITEMCOUNT, 0, 0) != kMachineNumbers &&
         MillisecondsSince(start) < 60000) {
    Sleep(1);
  }
  const double shown = MillisecondsSince(start);
  Sleep(1000);
  const double threadsAlone = ThreadFloor(kAddresses, kWorkers, 0);
  Report(kWhere, "answering /16, 0 ms probe: answers merged", Figure("%.0f /s", rate).c_str(), ">= 20000",
         rate >= 20000);
  Report(kWhere, "  time of the merge", Figure("%.0f ms", merged).c_str());
  Report(kWhere, "  floor: 1000 threads started and ended, no work", Figure("%.0f ms", threadsAlone).c_str());
  Report(kWhere, "  until the list view shows every row", Figure("%.0f ms", shown).c_str());
  Report(kWhere, "  table sorted, one row per machine number",
         SortedAndComplete(bench.table, kMachineNumbers) ? "yes" : "NO");
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  Report(kWhere, "  peak working set of the benchmark after both scans",
         Figure("%.0f KB", static_cast<double>(memory.PeakWorkingSetSize) / 1024.0).c_str());

  if (program != nullptr) MeasureStartUp(program);
  std::fflush(stdout);
  ExitProcess(0);  // detached workers may still be returning
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  auto* bench = new Bench;  // never freed: workers outlive main's scope until ExitProcess
  MainControls& c = Controls();
  c.AppWindow = CreateAppWindow(texts::kAppCaption);
  BuildMainWindow(bench->table, bench->commands);
  auto hook = c.MainForm->MessageHook;
  c.MainForm->MessageHook = [hook](ControlMessage& message) {
    if (message.message != kRunOnUiMessage) return hook(message);
    (*reinterpret_cast<const std::function<void()>*>(message.lParam))();
    return true;
  };
  std::thread driver(RunBenchmarks, std::ref(*bench), argc > 1 ? argv[1] : nullptr);
  driver.detach();
  RunMessageLoop(c.AppWindow);
  return 0;
}
