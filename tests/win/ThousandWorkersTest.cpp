// A scan on 1000 real worker threads of the 32-bit process, with a probe that holds every request
// until all 1000 are in flight at once: proof that every worker really started and ran side by side.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>

#include "fakes/ScanFakes.h"
#include "scan/RunContext.h"
#include "scan/RunSummary.h"
#include "scan/ScanRun.h"
#include "text/Cp936Texts.h"

namespace quarvo {
namespace {

using namespace std::chrono_literals;

class GatheringProbe final : public ArpProbe {
 public:
  explicit GatheringProbe(int expected) : expected_(expected) {}
  void Request(std::uint32_t address, MacBytes& mac) override {
    std::unique_lock<std::mutex> lock(mutex_);
    ++requests_[address];
    ++inFlight_;
    if (inFlight_ > peak_) peak_ = inFlight_;
    if (inFlight_ == expected_) all_.notify_all();
    all_.wait_for(lock, 60s, [this] { return peak_ >= expected_; });
    --inFlight_;
    mac = {0x02, 0, 0, 0, static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 24)};
  }
  int Peak() {
    std::lock_guard<std::mutex> lock(mutex_);
    return peak_;
  }
  std::map<std::uint32_t, int> Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable all_;
  std::map<std::uint32_t, int> requests_;
  int inFlight_ = 0;
  int peak_ = 0;
  const int expected_;
};

class SummaryWatch final : public WindowPort {
 public:
  std::string GetText(UiText control) override { return inner_.GetText(control); }
  void SetText(UiText control, const std::string& text) override {
    inner_.SetText(control, text);
    if (control == UiText::MainCaption && text.rfind(texts::kRunScan, 0) == 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      ++summaries_;
      done_.notify_all();
    }
  }
  bool WaitForSummary() {
    std::unique_lock<std::mutex> lock(mutex_);
    return done_.wait_for(lock, 120s, [this] { return summaries_ > 0; });
  }
  int Summaries() {
    std::lock_guard<std::mutex> lock(mutex_);
    return summaries_;
  }
  testing::FakeWindow inner_;

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  int summaries_ = 0;
};

class CountingLauncher final : public ThreadLauncher {
 public:
  bool Launch(std::function<void()> body) override {
    const bool started = SystemThreads().Launch(std::move(body));
    (started ? started_ : refused_)++;
    return started;
  }
  std::atomic<int> started_{0};
  std::atomic<int> refused_{0};
};

TEST(ThousandWorkers, EveryWorkerStartsAndEveryAddressIsProbedOnce) {
  // Detached workers may still be returning after the summary: everything they touch lives on.
  auto* state = new RunState;
  auto* table = new ResultsTable;
  auto* window = new SummaryWatch;
  auto* probe = new GatheringProbe(1000);
  auto* launcher = new CountingLauncher;
  auto* context = new RunContext{*state, *table, *window, SystemClock(), *launcher, *probe};

  window->inner_.Put(UiText::StartIp, "10.0.0.0");
  window->inner_.Put(UiText::EndIp, "10.0.3.231");  // 1000 addresses
  window->inner_.Put(UiText::Threads, "1000");
  state->StopRequested = false;
  ASSERT_EQ(StartScan(*context), ScanStart::Started);
  ASSERT_TRUE(window->WaitForSummary());

  EXPECT_EQ(launcher->started_, 1 + 1000);  // the starter and the workers
  EXPECT_EQ(launcher->refused_, 0);
  EXPECT_EQ(probe->Peak(), 1000);
  const auto requests = probe->Requests();
  EXPECT_EQ(requests.size(), 1000u);
  for (const auto& entry : requests) EXPECT_EQ(entry.second, 1);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(window->Summaries(), 1);
  EXPECT_EQ(state->LiveThreads, 0u);
  // 1000 answers, but past 255 only the low byte shows, after one dot: 512 distinct machine numbers.
  EXPECT_EQ(table->RowCount(), 512);
}

}  // namespace
}  // namespace quarvo
