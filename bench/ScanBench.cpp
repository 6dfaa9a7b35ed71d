// The scan engine with no window: how close a 1000-worker scan of a silent /16 comes to the ideal
// time of its probes, and how many answers a second go into the table.
#include <map>

#include "BenchParts.h"
#include "platform/System.h"
#include "scan/RunContext.h"
#include "scan/ScanRun.h"

namespace {

using namespace quarvo;
using namespace quarvo::bench;

// Keeps the texts as a window would.
class TextsPort final : public WindowPort {
 public:
  std::string GetText(UiText control) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_[control];
  }
  void SetText(UiText control, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    texts_[control] = text;
  }

 private:
  std::mutex mutex_;
  std::map<UiText, std::string> texts_;
};

}  // namespace

int main(int argc, char** argv) {
  const char* where = argc > 1 ? argv[1] : "native";
  // The goals are those of the native build; under Wine the figures are shown beside the window's.
  const bool native = std::string(where) == "native";
  static RunState state;  // detached workers may still be returning after the summary
  static ResultsTable table;
  static TextsPort texts;
  static SummaryWatch window(texts);
  static SleepingProbe probe;
  static RunContext context{state, table, window, SystemClock(), SystemThreads(), probe};
  int summaries = 0;
  auto timedScan = [&](std::uint32_t latencyMs, bool answer) {
    probe.Set(latencyMs, answer);
    table.ClearRows();
    window.SetText(UiText::StartIp, "10.0.0.0");
    window.SetText(UiText::EndIp, "10.0.255.255");
    window.SetText(UiText::Threads, "1000");
    const auto start = Steady::now();
    StartScan(context);
    summaries = window.Wait(summaries);
    return MillisecondsSince(start);
  };

  const double wall = timedScan(kLatencyMs, false);
  const double floor = ThreadFloor(kAddresses, kWorkers, kLatencyMs);
  Report(where, "silent /16, 1000 workers, 20 ms probe: wall", Figure("%.0f ms", wall).c_str());
  Report(where, "  ideal ceil(N/T) x 20 ms", Figure("%.0f ms", kIdealMs).c_str());
  Report(where, "  wall / ideal", Figure("%.3f", wall / kIdealMs).c_str(), native ? "<= 1.05" : "",
         wall / kIdealMs <= 1.05);
  Report(where, "  floor (threads and sleeps alone) / ideal", Figure("%.3f", floor / kIdealMs).c_str());
  Report(where, "  wall / floor", Figure("%.3f", wall / floor).c_str());

  const double mergeMs = timedScan(0, true);
  const double rate = kAddresses / (mergeMs / 1000.0);
  Report(where, "answering /16, 0 ms probe: answers merged into the table", Figure("%.0f /s", rate).c_str(),
         native ? ">= 200000" : "", rate >= 200000);
  Report(where, "  table sorted, one row per machine number",
         SortedAndComplete(table, kMachineNumbers) ? "yes" : "NO");
  return 0;
}
