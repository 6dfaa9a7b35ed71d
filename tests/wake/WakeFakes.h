// A socket for the magic packet sender that records its calls and can be told to fail.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "net/WakeSocket.h"

namespace quarvo::testing {

class RecordingWakeSocket final : public WakeSocket {
 public:
  struct Failures {
    bool startup = false, open = false, broadcast = false, send = false;
  };
  void Fail(const Failures& failures) { fail_ = failures; }
  // Called on the sending thread after each datagram was recorded, with its index from 0.
  void OnSend(std::function<void(std::size_t)> hook) { onSend_ = std::move(hook); }

  bool Startup() override { return Record("Startup") && !fail_.startup; }
  SocketHandle OpenDatagram() override {
    Record(fail_.open ? "Open failed" : "Open 5");
    return fail_.open ? kNoSocket : 5;
  }
  bool AllowBroadcast(SocketHandle s) override {
    return Record("Broadcast " + std::to_string(s)) && !fail_.broadcast;
  }
  bool SendTo(SocketHandle s, const std::uint8_t* bytes, std::size_t length, std::uint32_t address,
              std::uint16_t port) override {
    std::size_t index = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back("Send " + std::to_string(s) + " " + std::to_string(length) + " to " +
                       std::to_string(address) + ":" + std::to_string(port));
      index = datagrams_.size();
      datagrams_.emplace_back(bytes, bytes + length);
    }
    if (onSend_) onSend_(index);
    return !fail_.send;
  }
  void Close(SocketHandle s) override { Record("Close " + std::to_string(s)); }
  void Cleanup() override { Record("Cleanup"); }

  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  std::vector<std::vector<std::uint8_t>> Datagrams() {
    std::lock_guard<std::mutex> lock(mutex_);
    return datagrams_;
  }

 private:
  bool Record(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
    return true;
  }
  std::mutex mutex_;
  Failures fail_;
  std::vector<std::string> calls_;
  std::vector<std::vector<std::uint8_t>> datagrams_;
  std::function<void(std::size_t)> onSend_;
};

}  // namespace quarvo::testing
