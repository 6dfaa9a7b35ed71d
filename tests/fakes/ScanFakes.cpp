#include "fakes/ScanFakes.h"

#include <chrono>
#include <cstdio>

namespace quarvo::testing {

std::string FakeWindow::GetText(UiText control) {
  std::lock_guard<std::mutex> lock(mutex_);
  return texts_[control];
}

void FakeWindow::SetText(UiText control, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  texts_[control] = text;
  history_[control].push_back(text);
}

std::vector<std::string> FakeWindow::History(UiText control) {
  std::lock_guard<std::mutex> lock(mutex_);
  return history_[control];
}

void FakeWindow::Put(UiText control, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  texts_[control] = text;
}

void ScriptedProbe::Request(std::uint32_t networkOrderAddress, MacBytes& mac) {
  if (hook_) hook_(networkOrderAddress);
  if (latencyMs_ != 0) std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs_));
  std::lock_guard<std::mutex> lock(mutex_);
  ++requests_[networkOrderAddress];
  auto it = answers_.find(networkOrderAddress);
  if (it != answers_.end()) mac = it->second;
}

void ScriptedProbe::Answer(const std::string& dotted, const MacBytes& mac) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_[NetworkOrder(dotted)] = mac;
}

std::map<std::uint32_t, int> ScriptedProbe::Requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

int ScriptedProbe::RequestCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  int total = 0;
  for (const auto& entry : requests_) total += entry.second;
  return total;
}

std::uint32_t FakeClock::TickCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::uint32_t now = tick_;
  tick_ += step_;
  return now;
}

void FakeClock::Sleep(std::uint32_t milliseconds) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sleeps_.push_back(milliseconds);
  }
  if (hook_) hook_(milliseconds);
}

void FakeClock::Set(std::uint32_t tick) {
  std::lock_guard<std::mutex> lock(mutex_);
  tick_ = tick;
}

void FakeClock::SetStep(std::uint32_t step) {
  std::lock_guard<std::mutex> lock(mutex_);
  step_ = step;
}

std::vector<std::uint32_t> FakeClock::Sleeps() {
  std::lock_guard<std::mutex> lock(mutex_);
  return sleeps_;
}

JoiningThreads::~JoiningThreads() {
  JoinAll();
}

bool JoiningThreads::Launch(std::function<void()> body) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (refuseFrom_ >= 0 && launched_ >= refuseFrom_) return false;
  threads_.emplace_back(std::move(body));
  ++launched_;
  return true;
}

void JoiningThreads::JoinAll() {
  for (;;) {  // threads may start threads: join until none is left
    std::vector<std::thread> threads;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      threads.swap(threads_);
    }
    if (threads.empty()) return;
    for (auto& thread : threads) thread.join();
  }
}

std::uint32_t NetworkOrder(const std::string& dotted) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  std::sscanf(dotted.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d);
  return a | b << 8 | c << 16 | d << 24;
}

}  // namespace quarvo::testing
