// Flags and counters shared by the scan, the wake run, the list load and save, and the handlers.
#pragma once

#include <atomic>
#include <cstdint>

namespace quarvo {

struct RunState {
  // Set while no run is active; a Stop press, closing the window and every run's end set it.
  std::atomic<bool> StopRequested{true};
  // The table holds what the results file does not: set by a scan that adds a row or changes a MAC.
  std::atomic<bool> ListChanged{false};

  // The current scan's range and workers, written by StartScan before the first worker starts.
  std::atomic<std::uint32_t> ThreadCount{0};
  std::atomic<std::uint32_t> FirstIp{0};  // network order
  std::atomic<std::uint32_t> IpCount{0};
  std::atomic<std::int32_t> NumberBase{0};
  std::atomic<std::uint32_t> NumberDigits{0};
  // Workers of the current scan that have started and not yet finished.
  std::atomic<std::uint32_t> LiveThreads{0};
  // Addresses of the current scan that no worker probes, because not every worker could be
  // started: a scan that ends with this above 0 covered only a part of its range.
  std::atomic<std::uint32_t> UnprobedAddresses{0};
  // Runs (a scan, a wake run) whose threads have not all returned: counted up before a run's first
  // thread starts, and down by its last thread after its summary line, its last use of this state.
  std::atomic<std::uint32_t> LiveRuns{0};

  std::atomic<std::uint32_t> RunStartTick{0};
  std::atomic<std::uint32_t> RunEndTick{0};

  // Whether a thread of an earlier run is still alive. No scan or wake run starts then, even when
  // the window already shows the start caption (a list load ends a run's status but not its
  // threads): the old thread would take the new run's cleared stop flag as its own, or stop the
  // new run with its closing summary.
  bool RunThreadAlive() const { return LiveRuns != 0 || LiveThreads != 0; }
};

}  // namespace quarvo
