#include "WakeFakes.h"

#include "text/TextHelpers.h"

namespace quarvo::testing {

void RecordingWakeSocket::Record(const std::string& call) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(call);
}

bool RecordingWakeSocket::Startup() {
  Record("Startup");
  return !fail_.startup;
}

SocketHandle RecordingWakeSocket::OpenDatagram() {
  if (fail_.open) {
    Record("Open failed");
    return kNoSocket;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back("Open " + DecimalText(static_cast<std::int64_t>(next_)));
  return next_++;
}

bool RecordingWakeSocket::AllowBroadcast(SocketHandle socket) {
  Record("Broadcast " + DecimalText(static_cast<std::int64_t>(socket)));
  return !fail_.broadcast;
}

bool RecordingWakeSocket::SendTo(SocketHandle socket, const std::uint8_t* bytes, std::size_t length,
                                 std::uint32_t hostOrderAddress, std::uint16_t port) {
  std::size_t index = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back("Send " + DecimalText(static_cast<std::int64_t>(socket)) + " " +
                     DecimalText(static_cast<std::int64_t>(length)) + " " + HexText(hostOrderAddress, 8) +
                     ":" + DecimalText(port));
    index = datagrams_.size();
    datagrams_.emplace_back(bytes, bytes + length);
  }
  if (onSend_) onSend_(index);
  return !fail_.send;
}

void RecordingWakeSocket::Close(SocketHandle socket) {
  Record("Close " + DecimalText(static_cast<std::int64_t>(socket)));
}

void RecordingWakeSocket::Cleanup() {
  Record("Cleanup");
}

std::vector<std::string> RecordingWakeSocket::Calls() {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::vector<std::vector<std::uint8_t>> RecordingWakeSocket::Datagrams() {
  std::lock_guard<std::mutex> lock(mutex_);
  return datagrams_;
}

std::uint32_t PauseClock::TickCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::uint32_t now = tick_;
  tick_ += step_;
  return now;
}

void PauseClock::Sleep(std::uint32_t milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  pauses_.push_back(milliseconds);
  if (!holdNext_) return;
  holdNext_ = false;
  held_ = true;
  changed_.notify_all();
  changed_.wait(lock, [this] { return !held_; });
}

void PauseClock::SetTicks(std::uint32_t start, std::uint32_t step) {
  std::lock_guard<std::mutex> lock(mutex_);
  tick_ = start;
  step_ = step;
}

std::vector<std::uint32_t> PauseClock::Pauses() {
  std::lock_guard<std::mutex> lock(mutex_);
  return pauses_;
}

void PauseClock::HoldNextPause() {
  std::lock_guard<std::mutex> lock(mutex_);
  holdNext_ = true;
}

void PauseClock::WaitUntilHeld() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return held_; });
}

void PauseClock::Release() {
  std::lock_guard<std::mutex> lock(mutex_);
  held_ = false;
  changed_.notify_all();
}

}  // namespace quarvo::testing
