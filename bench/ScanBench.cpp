// Scan throughput: how close a 1000-worker scan comes to the ideal time of its probes, and how many
// answers a second the table merges.
//
//   scan_bench            both figures
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "scan/RunContext.h"
#include "scan/ScanRun.h"
#include "text/Cp936Texts.h"

namespace {

using namespace quarvo;
using Clock = std::chrono::steady_clock;

class SleepingProbe final : public ArpProbe {
 public:
  SleepingProbe(std::uint32_t latencyMs, bool answer) : latencyMs_(latencyMs), answer_(answer) {}
  void Request(std::uint32_t address, MacBytes& mac) override {
    if (latencyMs_ != 0) std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs_));
    if (answer_) mac = {0x02, 0x00, 0x00, static_cast<std::uint8_t>(address >> 8), 0x00, 0x01};
  }

 private:
  std::uint32_t latencyMs_;
  bool answer_;
};

// Keeps the last caption like a window would, and wakes the bench when the summary arrives.
class BenchWindow final : public WindowPort {
 public:
  explicit BenchWindow(const char* threads) { texts_[static_cast<int>(UiText::Threads)] = threads; }
  std::string GetText(UiText control) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_[static_cast<int>(control)];
  }
  void SetText(UiText control, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    texts_[static_cast<int>(control)] = text;
    if (control == UiText::MainCaption && text.rfind(texts::kRunScan, 0) == 0) {
      done_ = true;
      cv_.notify_all();
    }
  }
  void Put(UiText control, const std::string& text) { SetText(control, text); }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return done_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::string texts_[6];
  bool done_ = false;
};

// Runs one scan of 10.0.0.0/16 and returns its wall time in milliseconds.
double TimedScan(ArpProbe& probe, const char* threads, std::int32_t* rows) {
  static RunState state;  // detached workers may still be returning after the summary
  static ResultsTable table;
  auto* window = new BenchWindow(threads);
  auto* context = new RunContext{state, table, *window, SystemClock(), SystemThreads(), probe};
  table.ClearRows();
  window->Put(UiText::StartIp, "10.0.0.0");
  window->Put(UiText::EndIp, "10.0.255.255");
  state.StopRequested = false;
  const auto start = Clock::now();
  StartScan(*context);
  window->Wait();
  const auto end = Clock::now();
  if (rows != nullptr) *rows = table.RowCount();
  return std::chrono::duration<double, std::milli>(end - start).count();
}

// The same threads and sleeps with no table and no window: what the platform alone costs.
double ThreadFloor(std::uint32_t addresses, std::uint32_t workers, std::uint32_t latencyMs) {
  std::atomic<std::uint32_t> live{workers};
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  const auto start = Clock::now();
  for (std::uint32_t i = 1; i <= workers; ++i) {
    const std::uint32_t share = addresses / workers + (addresses % workers >= i ? 1u : 0u);
    SystemThreads().Launch([&, share] {
      for (std::uint32_t r = 0; r < share; ++r) std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs));
      if (live.fetch_sub(1) == 1) {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        cv.notify_all();
      }
    });
  }
  std::unique_lock<std::mutex> lock(mutex);
  cv.wait(lock, [&] { return done; });
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main() {
  constexpr std::uint32_t kAddresses = 65536;
  constexpr std::uint32_t kWorkers = 1000;
  constexpr std::uint32_t kLatency = 20;

  SleepingProbe silent(kLatency, false);
  const double wall = TimedScan(silent, "1000", nullptr);
  const double ideal = ((kAddresses + kWorkers - 1) / kWorkers) * static_cast<double>(kLatency);
  const double floor = ThreadFloor(kAddresses, kWorkers, kLatency);
  std::printf("scan of %u addresses, %u workers, %u ms probe, no answers:\n", kAddresses, kWorkers, kLatency);
  std::printf("  wall %.0f ms, ideal %.0f ms, ratio %.3f\n", wall, ideal, wall / ideal);
  std::printf("  floor (same threads and sleeps, no table, no window) %.0f ms, wall/floor %.3f\n", floor,
              wall / floor);

  SleepingProbe answering(0, true);
  std::int32_t rows = 0;
  const double mergeMs = TimedScan(answering, "1000", &rows);
  std::printf("scan of %u answering addresses, %u workers, 0 ms probe:\n", kAddresses, kWorkers);
  std::printf("  %.0f ms, %.0f merged answers/s (%d rows in the table)\n", mergeMs,
              kAddresses / (mergeMs / 1000.0), rows);
  return 0;
}
