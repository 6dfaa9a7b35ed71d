// Fakes for the wake run: a socket that records its calls and can be told to fail, and a clock
// whose pauses the test can watch and hold.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "net/WakeSocket.h"
#include "sys/Clock.h"

namespace quarvo::testing {

class RecordingWakeSocket final : public WakeSocket {
 public:
  struct Failures {
    bool startup = false;
    bool open = false;
    bool broadcast = false;
    bool send = false;
  };

  bool Startup() override;
  SocketHandle OpenDatagram() override;
  bool AllowBroadcast(SocketHandle socket) override;
  bool SendTo(SocketHandle socket, const std::uint8_t* bytes, std::size_t length,
              std::uint32_t hostOrderAddress, std::uint16_t port) override;
  void Close(SocketHandle socket) override;
  void Cleanup() override;

  void Fail(const Failures& failures) { fail_ = failures; }
  // Called on the sending thread after each datagram was recorded, with its index from 0.
  void OnSend(std::function<void(std::size_t)> hook) { onSend_ = std::move(hook); }
  // "Startup", "Open 5", "Broadcast 5", "Send 5 102 FFFFFFFF:9", "Close 5", "Cleanup".
  std::vector<std::string> Calls();
  std::vector<std::vector<std::uint8_t>> Datagrams();

 private:
  void Record(const std::string& call);
  std::mutex mutex_;
  Failures fail_;
  SocketHandle next_ = 5;
  std::vector<std::string> calls_;
  std::vector<std::vector<std::uint8_t>> datagrams_;
  std::function<void(std::size_t)> onSend_;
};

// Records every pause without waiting. HoldNextPause makes the next Sleep wait until Release, so
// that a test can act on the program while the wake thread is in its pause.
class PauseClock final : public Clock {
 public:
  std::uint32_t TickCount() override;
  void Sleep(std::uint32_t milliseconds) override;
  void SetTicks(std::uint32_t start, std::uint32_t step);
  std::vector<std::uint32_t> Pauses();
  void HoldNextPause();
  void WaitUntilHeld();
  void Release();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint32_t tick_ = 0;
  std::uint32_t step_ = 0;
  std::vector<std::uint32_t> pauses_;
  bool holdNext_ = false;
  bool held_ = false;
};

}  // namespace quarvo::testing
