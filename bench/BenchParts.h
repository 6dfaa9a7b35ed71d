// What the benchmarks share: a probe that sleeps like a silent network, the platform's floor for a
// scan's threads and sleeps, and a window port that tells when a run's summary arrives.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/ResultsTable.h"
#include "net/ArpProbe.h"
#include "platform/System.h"
#include "sys/ThreadLauncher.h"
#include "sys/WindowPort.h"
#include "text/Cp936Texts.h"

namespace quarvo::bench {

using Steady = std::chrono::steady_clock;

inline double MillisecondsSince(Steady::time_point start) {
  return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

// Every request takes the latency; with `answer` set every address answers with a MAC of its own.
class SleepingProbe final : public ArpProbe {
 public:
  void Set(std::uint32_t latencyMs, bool answer) {
    latencyMs_ = latencyMs;
    answer_ = answer;
  }
  void Request(std::uint32_t address, MacBytes& mac) override {
    if (latencyMs_ != 0) std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs_.load()));
    if (answer_) mac = {0x02, 0x00, 0x00, static_cast<std::uint8_t>(address >> 8), 0x00, 0x01};
  }

 private:
  std::atomic<std::uint32_t> latencyMs_{20};
  std::atomic<bool> answer_{false};
};

// Passes every text on to the real port and wakes Wait when a scan's summary is written.
class SummaryWatch final : public WindowPort {
 public:
  explicit SummaryWatch(WindowPort& inner) : inner_(inner) {}
  std::string GetText(UiText control) override { return inner_.GetText(control); }
  void SetText(UiText control, const std::string& text) override {
    inner_.SetText(control, text);
    if (control != UiText::MainCaption || text.rfind(texts::kRunScan, 0) != 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    ++summaries_;
    cv_.notify_all();
  }
  // Waits for the next summary after `seen` summaries; returns the new count.
  int Wait(int seen) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [&] { return summaries_ > seen; });
    return summaries_;
  }

 private:
  WindowPort& inner_;
  std::mutex mutex_;
  std::condition_variable cv_;
  int summaries_ = 0;
};

// The same threads and sleeps as a scan, with no table and no window: what the platform alone costs.
inline double ThreadFloor(std::uint32_t addresses, std::uint32_t workers, std::uint32_t latencyMs) {
  std::atomic<std::uint32_t> live{workers};
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  const auto start = Steady::now();
  for (std::uint32_t i = 1; i <= workers; ++i) {
    const std::uint32_t share = addresses / workers + (addresses % workers >= i ? 1u : 0u);
    SystemThreads().Launch([&, share] {
      for (std::uint32_t r = 0; r < share; ++r)
        std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs));
      if (live.fetch_sub(1) != 1) return;
      std::lock_guard<std::mutex> lock(mutex);
      done = true;
      cv.notify_all();
    });
  }
  std::unique_lock<std::mutex> lock(mutex);
  cv.wait(lock, [&] { return done; });
  return MillisecondsSince(start);
}

// True when the table is in its order with one row per machine number, and has `rows` rows.
inline bool SortedAndComplete(ResultsTable& table, std::int32_t rows) {
  return table.Transact([&](ResultsTable::Rows& r) {
    for (std::int32_t i = 1; i < r.RowCount(); ++i) {
      if (!(SortKeyOf(r.GetCell(i - 1, ColNumber)) < SortKeyOf(r.GetCell(i, ColNumber)))) return false;
    }
    return r.RowCount() == rows;
  });
}

inline double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1,
                         static_cast<std::size_t>(fraction * static_cast<double>(values.size())))];
}

// The scan every benchmark runs: 10.0.0.0 to 10.0.255.255 with 1000 workers and a 20 ms probe.
inline constexpr std::uint32_t kAddresses = 65536;
inline constexpr std::uint32_t kWorkers = 1000;
inline constexpr std::uint32_t kLatencyMs = 20;
inline constexpr std::int32_t kMachineNumbers = 65536;  // every address a machine number of its own
inline constexpr double kIdealMs = ((kAddresses + kWorkers - 1) / kWorkers) * static_cast<double>(kLatencyMs);

}  // namespace quarvo::bench

namespace quarvo::bench {

// One row of the figures table that scripts/bench.sh prints: where, figure, value, goal, verdict,
// separated by tabs. An empty goal prints no verdict.
inline void Report(const char* where, const char* figure, const char* value, const char* goal = "",
                   bool met = true) {
  std::printf("%s\t%s\t%s\t%s\t%s\n", where, figure, value, goal,
              *goal == '\0' ? ""
              : met         ? "met"
                            : "MISSED");
  std::fflush(stdout);
}

inline std::string Figure(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace quarvo::bench
