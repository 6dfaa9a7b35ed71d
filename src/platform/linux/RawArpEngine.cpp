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
      : pacer_(PacerOf(options)),
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
    pacer_->Cancel();  // workers waiting for their turn on the wire
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
    // The pacer says how often and how long: requests `spacing` apart from the first that went,
    // the wait ending `giveUp` after it. Asked again at each step, as answers to other workers'
    // requests may by then have shown more loss or slower machines. Time a resend spent waiting
    // for its turn on a busy wire is added to the wait, within the time-out.
    PaceTime sent[ArpPacer::kMostAttempts];
    int requests = 0;
    if (SendWithRoom(*link, address, waiter, sent[0])) {
      requests = 1;
      PaceTime queued{};
      for (int attempt = 1;; ++attempt) {
        const AskPlan plan = pacer_->Plan();
        const PaceTime giveUp = sent[0] + std::min(plan.giveUp + queued, plan.longest);
        const PaceTime due = sent[0] + queued + plan.spacing * attempt;
        const bool more = attempt < plan.attempts && due < giveUp;
        const PaceTime until = more ? due : giveUp;
        std::unique_lock<std::mutex> lock(waiters_.mutex);
        if (waiter.wake.wait_until(lock, SteadyTime(until), [&] { return waiter.done; })) break;
        lock.unlock();
        if (!more) break;
        int error = -1;
        const auto resend = [&](PaceTime at) {
          if (at < giveUp) error = wire_->Send(*link, address);
          return error == 0;
        };
        PaceTime at{};
        if (!pacer_->Send(true, resend, at) || at >= giveUp) break;
        if (error == 0) sent[requests++] = at;
        if (LacksRoom(error)) pacer_->NoRoom(at);
        queued += std::max(PaceTime{}, at - due);
      }
    }
    bool answered, cancelled;
    {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      waiters_.Remove(key, waiter);
      answered = waiter.answered;
      cancelled = waiters_.cancelled;
      if (answered) mac = waiter.mac;
    }
    if (answered && requests > 0) {
      // The requests that had gone when the answer came: more than one, and it needed a resend.
      int before = 1;
      while (before < requests && sent[before] < waiter.answeredAt) ++before;
      pacer_->Answered(sent[0], sent[before - 1], waiter.answeredAt, before);
    } else if (!answered && requests > 0 && !gone_ && !cancelled) {
      pacer_->GaveUp(key, sent[0]);
    }
    if (!answered && gone_) Fallback(networkOrderAddress, mac);
  }

 private:
  // The first request in its turn, waiting while the wire has no room for it (a full transmit
  // queue); false when it cannot be sent (the interface is down, no room came in kRoomWait, or the
  // wait was cancelled). `at` is when it went.
  bool SendWithRoom(const LinkAddress& link, std::uint32_t target, Waiters::Waiter& waiter, PaceTime& at) {
    const Clock::time_point giveUp = Clock::now() + kRoomWait;
    auto pause = std::chrono::milliseconds(5);
    for (;;) {
      int error = 0;
      const auto send = [&](PaceTime) {
        error = wire_->Send(link, target);
        return error == 0;
      };
      if (!pacer_->Send(false, send, at)) return false;
      if (error == 0) return true;
      if (error == EPIPE) gone_ = true;  // the helper has ended
      if (LacksRoom(error)) pacer_->NoRoom(at);
      if (!LacksRoom(error) || Clock::now() >= giveUp) return false;
      std::unique_lock<std::mutex> lock(waiters_.mutex);
      if (waiter.wake.wait_for(lock, pause, [&] { return waiter.done; })) return false;
      pause = std::min(pause * 2, std::chrono::milliseconds(100));
    }
  }

  void Receive() {
    const ArpWire::Heard heard = [this](int ifindex, std::uint32_t address, const MacBytes* mac) {
      const std::uint64_t key = WaitKey(ifindex, address);
      const PaceTime at = pacer_->PaceClock().Now();
      bool waited;
      {
        std::lock_guard<std::mutex> lock(waiters_.mutex);
        waited = waiters_.Settle(key, mac, at);
      }
      if (!waited && mac != nullptr) pacer_->Unclaimed(key, at);
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

  const std::shared_ptr<ArpPacer> pacer_;
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
