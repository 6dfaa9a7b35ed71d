// Fakes for the seams of a run: a window that records texts, a probe that answers from a script,
// a clock that the test sets, and a launcher whose threads the test can join.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/ArpProbe.h"
#include "sys/Clock.h"
#include "sys/ThreadLauncher.h"
#include "sys/WindowPort.h"

namespace quarvo::testing {

class FakeWindow final : public WindowPort {
 public:
  std::string GetText(UiText control) override;
  void SetText(UiText control, const std::string& text) override;
  // Every text written to a control, in order.
  std::vector<std::string> History(UiText control);
  std::string Text(UiText control) { return GetText(control); }
  void Put(UiText control, const std::string& text);  // as the user types, not recorded

 private:
  std::mutex mutex_;
  std::map<UiText, std::string> texts_;
  std::map<UiText, std::vector<std::string>> history_;
};

// Answers by network-order address; every request is counted. Latency is slept for real.
class ScriptedProbe final : public ArpProbe {
 public:
  void Request(std::uint32_t networkOrderAddress, MacBytes& mac) override;
  void Answer(const std::string& dotted, const MacBytes& mac);
  void SetLatency(std::uint32_t milliseconds) { latencyMs_ = milliseconds; }
  // Called (outside any lock of the probe) as each request begins.
  void OnRequest(std::function<void(std::uint32_t)> hook) { hook_ = std::move(hook); }
  std::map<std::uint32_t, int> Requests();
  int RequestCount();

 private:
  std::mutex mutex_;
  std::map<std::uint32_t, MacBytes> answers_;
  std::map<std::uint32_t, int> requests_;
  std::uint32_t latencyMs_ = 0;
  std::function<void(std::uint32_t)> hook_;
};

class FakeClock final : public Clock {
 public:
  std::uint32_t TickCount() override;
  void Sleep(std::uint32_t milliseconds) override;
  // Recorded as one Sleep of the whole pause; the stop flag is not looked at.
  void Pause(std::uint32_t milliseconds, const std::atomic<bool>&) override { Sleep(milliseconds); }
  void Set(std::uint32_t tick);
  // Each TickCount call returns the current value and then adds this step.
  void SetStep(std::uint32_t step);
  std::vector<std::uint32_t> Sleeps();
  // Called on the sleeping thread after each Sleep was recorded, outside the clock's lock: a test
  // can act, or hold the thread, while it is in its wait.
  void OnSleep(std::function<void(std::uint32_t)> hook) { hook_ = std::move(hook); }

 private:
  std::mutex mutex_;
  std::uint32_t tick_ = 0;
  std::uint32_t step_ = 0;
  std::vector<std::uint32_t> sleeps_;
  std::function<void(std::uint32_t)> hook_;
};

// std::threads that the test joins, started from any thread; can be told to refuse the n-th start
// (counted from 0) and after.
class JoiningThreads final : public ThreadLauncher {
 public:
  ~JoiningThreads() override;
  bool Launch(std::function<void()> body) override;
  void RefuseFrom(int launchIndex) { refuseFrom_ = launchIndex; }
  void JoinAll();
  int Launched() const { return launched_; }

 private:
  std::mutex mutex_;
  std::vector<std::thread> threads_;
  std::atomic<int> launched_{0};
  std::atomic<int> refuseFrom_{-1};
};

// The network-order value of a dotted text (test helper; the program parses boxes itself).
std::uint32_t NetworkOrder(const std::string& dotted);

}  // namespace quarvo::testing
