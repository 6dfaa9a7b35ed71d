// ARP requests that this program builds and sends itself, over a wire (its own packet socket, or
// the ARP helper). One receive thread reads every answer and hands it to the worker waiting for it.
#include <arpa/inet.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "platform/linux/ArpEngineParts.h"

namespace quarvo::arp {
namespace {

bool LacksRoom(int error) {
  return error == ENOBUFS || error == EAGAIN || error == EINTR;
}

class RawArpEngine final : public ArpProbe {
 public:
  RawArpEngine(const ArpEngineOptions& options, std::vector<LinkAddress> links, std::unique_ptr<ArpWire> wire,
               FallbackOpener fallback)
      : timeout_(options.timeoutMs),
        report_(options.report),
        links_(std::move(links)),
        wire_(std::move(wire)),
        openFallback_(std::move(fallback)) {}

  ~RawArpEngine() override {
    if (receiver_.joinable()) {
      stop_.Raise();
      receiver_.join();
    }
  }

  // Starts the receive thread; false when its stop signal cannot be had.
  bool Start() {
    if (!stop_.Ok()) return false;
    receiver_ = std::thread([this] { Receive(); });
    return true;
  }

  // Takes the interfaces afresh: a renumbered or re-plugged interface is asked on as it is now.
  // Once the wire has gone, the engine that took over begins the scan.
  void BeginScan(std::uint32_t firstNetworkOrder, std::uint32_t count) override {
    {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      waiters_.cancelled = false;
    }
    if (ArpProbe* fallback = OpenedFallback()) return fallback->BeginScan(firstNetworkOrder, count);
    links_.Read();
    const std::string note = OffNetworkNote(*links_.Get(), firstNetworkOrder, count);
    if (!note.empty() && report_) report_(note);
  }

  void Cancel() override {
    {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      waiters_.Cancel();
    }
    if (ArpProbe* fallback = OpenedFallback()) fallback->Cancel();
  }

  void Request(std::uint32_t networkOrderAddress, MacBytes& mac) override {
    {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      if (waiters_.cancelled) return;
    }
    if (gone_) return Fallback(networkOrderAddress, mac);
    const std::uint32_t address = ntohl(networkOrderAddress);
    const auto links = links_.Get();
    const LinkAddress* link = LinkToAsk(*links, address, mac);
    if (link == nullptr) return;
    const std::uint64_t key = WaitKey(link->index, address);
    Waiters::Waiter waiter;
    {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      if (waiters_.cancelled) return;
      waiters_.Add(key, waiter);
    }
    // Requests at 0, 1/4 and 1/2 of the time-out, counted from the first that the wire took.
    if (SendWithRoom(*link, address, waiter)) {
      const Clock::time_point start = Clock::now();
      for (int resend = 1; resend <= 3; ++resend) {
        const Clock::time_point until = start + (resend < 3 ? timeout_ * resend / 4 : timeout_);
        std::unique_lock<std::mutex> lock(waiters_.mutex);
        if (waiter.wake.wait_until(lock, until, [&] { return waiter.done; })) break;
        lock.unlock();
        if (resend < 3) wire_->Send(*link, address);
      }
    }
    bool answered;
    {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      waiters_.Remove(key, waiter);
      answered = waiter.answered;
      if (answered) mac = waiter.mac;
    }
    if (!answered && gone_) Fallback(networkOrderAddress, mac);
  }

 private:
  // The first request, waiting while the wire has no room for it (a full transmit queue);
  // false when it cannot be sent (the interface is down, or no room came in kRoomWait).
  bool SendWithRoom(const LinkAddress& link, std::uint32_t target, Waiters::Waiter& waiter) {
    const Clock::time_point giveUp = Clock::now() + kRoomWait;
    auto pause = std::chrono::milliseconds(5);
    for (;;) {
      const int error = wire_->Send(link, target);
      if (error == 0) return true;
      if (error == EPIPE) gone_ = true;  // the helper has ended
      if (!LacksRoom(error) || Clock::now() >= giveUp) return false;
      std::unique_lock<std::mutex> lock(waiters_.mutex);
      if (waiter.wake.wait_for(lock, pause, [&] { return waiter.done; })) return true;
      pause = std::min(pause * 2, std::chrono::milliseconds(100));
    }
  }

  void Receive() {
    const ArpWire::Heard heard = [this](int ifindex, std::uint32_t address, const MacBytes* mac) {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      waiters_.Settle(WaitKey(ifindex, address), mac);
    };
    while (WaitReadable(wire_->Fd(), stop_)) {
      if (wire_->Read(heard)) continue;
      // The wire went away: every worker still waiting asks the fallback instead.
      gone_ = true;
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      for (const std::uint64_t key : waiters_.Keys()) waiters_.Settle(key, nullptr);
      return;
    }
  }

  // The engine that took over from a wire that has gone, once it is open; else null.
  ArpProbe* OpenedFallback() {
    std::lock_guard<std::mutex> lock(fallbackMutex_);
    return fallback_.get();
  }

  // The engine that serves once the wire has gone; silent when there is none.
  void Fallback(std::uint32_t networkOrderAddress, MacBytes& mac) {
    ArpProbe* fallback;
    {
      std::lock_guard<std::mutex> lock(fallbackMutex_);
      if (openFallback_) {
        fallback_ = openFallback_();
        openFallback_ = nullptr;
      }
      fallback = fallback_.get();
    }
    if (fallback != nullptr) fallback->Request(networkOrderAddress, mac);
  }

  const std::chrono::milliseconds timeout_;
  const std::function<void(const std::string&)> report_;
  LinkSet links_;
  const std::unique_ptr<ArpWire> wire_;
  Waiters waiters_;
  std::atomic<bool> gone_{false};
  std::mutex fallbackMutex_;
  FallbackOpener openFallback_;
  std::unique_ptr<ArpProbe> fallback_;
  StopSignal stop_;
  std::thread receiver_;
};

}  // namespace

std::unique_ptr<ArpProbe> OpenRawEngine(const ArpEngineOptions& options, std::vector<LinkAddress> links,
                                        std::unique_ptr<ArpWire> wire, FallbackOpener fallback,
                                        std::string& error) {
  auto engine =
      std::make_unique<RawArpEngine>(options, std::move(links), std::move(wire), std::move(fallback));
  if (!engine->Start()) {
    error = "cannot create the raw ARP engine's stop signal: " + ErrorText(errno);
    return nullptr;
  }
  return engine;
}

}  // namespace quarvo::arp
