// A scan on 1000 real worker threads of the 32-bit process, with a probe that holds every request
// until all 1000 are in flight at once: proof that every worker really started and ran side by side.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "fakes/ScanFakes.h"
#include "platform/System.h"
#include "scan/RunContext.h"
#include "scan/RunSummary.h"
#include "scan/ScanRun.h"
#include "text/Cp936Texts.h"

namespace quarvo {
namespace {

using namespace std::chrono_literals;

int Summaries(testing::FakeWindow& window) {
  const auto captions = window.History(UiText::MainCaption);
  return static_cast<int>(std::count_if(captions.begin(), captions.end(), [](const std::string& text) {
    return text.rfind(texts::kRunScan, 0) == 0;
  }));
}

TEST(ThousandWorkers, EveryWorkerStartsAndEveryAddressIsProbedOnce) {
  // Detached workers may still be returning after the summary: everything they touch lives on.
  static std::mutex mutex;
  static std::condition_variable all;
  static int inFlight = 0, peak = 0;
  auto* state = new RunState;
  auto* table = new ResultsTable;
  auto* window = new testing::FakeWindow;
  auto* probe = new testing::ScriptedProbe;
  auto* context = new RunContext{*state, *table, *window, SystemClock(), SystemThreads(), *probe};
  for (int i = 0; i < 1000; ++i) {
    const auto c = static_cast<std::uint8_t>(i / 256), d = static_cast<std::uint8_t>(i % 256);
    probe->Answer("10.0." + std::to_string(c) + "." + std::to_string(d), {0x02, 0, 0, 0, c, d});
  }
  probe->OnRequest([](std::uint32_t) {
    std::unique_lock<std::mutex> lock(mutex);
    peak = std::max(peak, ++inFlight);
    all.notify_all();
    all.wait_for(lock, 60s, [] { return peak >= 1000; });
    --inFlight;
  });
  window->Put(UiText::StartIp, "10.0.0.0");
  window->Put(UiText::EndIp, "10.0.3.231");  // 1000 addresses
  window->Put(UiText::Threads, "1000");
  state->StopRequested = false;
  ASSERT_EQ(StartScan(*context), ScanStart::Started);
  for (int wait = 0; wait < 120000 && Summaries(*window) == 0; wait += 10) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(Summaries(*window), 1);

  EXPECT_EQ(peak, 1000);  // every worker started and waited for the others
  const auto requests = probe->Requests();
  EXPECT_EQ(requests.size(), 1000u);
  for (const auto& entry : requests) EXPECT_EQ(entry.second, 1);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(Summaries(*window), 1);
  EXPECT_EQ(state->LiveThreads, 0u);
  // 1000 answers, each under a machine number of its own.
  EXPECT_EQ(table->RowCount(), 1000);
}

}  // namespace
}  // namespace quarvo
