// ARP requests that this program builds and sends itself, over a wire (its own packet socket, or
// the ARP helper). One receive thread reads every answer and hands it to the worker waiting for it.
// During a scan, a worker whose address has had all its requests and only waits out its last
// stretch has its next address asked ahead, by one more thread, in a turn on the wire that no
// worker needs: when it comes to that address, its answer is in or its wait is partly over, so
// that a silent address holds a worker only for about the wait after the last request.
#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <deque>
#include <thread>
#include <unordered_map>

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
    if (aheadThread_.joinable()) {
      {
        std::lock_guard<std::mutex> lock(waiters_.mutex);
        closing_ = true;
      }
      aheadWake_.notify_all();
      pacer_->Cancel();  // a request ahead waiting for its turn
      aheadThread_.join();
    }
    if (receiver_.joinable()) {
      stop_.Raise();
      receiver_.join();
    }
  }

  // Starts the receive thread and the one that asks ahead; false when the stop signal cannot be had.
  bool Start() {
    if (!stop_.Ok()) return false;
    receiver_ = std::thread([this] { Receive(); });
    aheadThread_ = std::thread([this] { AskAhead(); });
    return true;
  }

  // Takes the interfaces afresh: a renumbered or re-plugged interface is asked on as it is now.
  // Once the wire has gone, the engine that took over begins the scan.
  void BeginScan(std::uint32_t firstNetworkOrder, std::uint32_t count) override {
    {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      waiters_.cancelled = false;
      rangeFirst_ = ntohl(firstNetworkOrder);
      rangeCount_ = count;
      ForgetAhead();
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
      ForgetAhead();
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
    Ahead ahead;
    Hint next;
    {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      if (waiters_.cancelled) return;
      next = NextOf(address);
      const auto entry = ahead_.find(key);
      if (entry != ahead_.end()) {
        ahead = entry->second;
        ahead_.erase(entry);  // one still waiting for its turn does not go: the worker sends its own
      }
    }
    if (ahead.state == Ahead::Heard) {
      mac = ahead.mac;
      pacer_->Answered(ahead.sentAt, ahead.sentAt, ahead.heardAt, 1);
      return;
    }
    Ask(*link, address, key, ahead, next, mac);
  }

 private:
  // A first request sent ahead of the workers, for an address of the scan's range that a worker
  // will come to soon.
  struct Ahead {
    enum State { None, Queued, Sent, Heard } state = None;  // Queued: waiting for its turn on the wire
    PaceTime sentAt{};
    PaceTime heardAt{};
    MacBytes mac{};
  };

  // Drops what an earlier scan asked or meant to ask ahead. With the waiters' mutex held.
  void ForgetAhead() {
    ++scan_;
    hints_.clear();
    ahead_.clear();
  }

  // An address a worker will ask, during the scan `scan`.
  struct Hint {
    std::uint32_t address = 0;
    std::uint64_t scan = 0;  // 0: none
  };

  // The address this thread's worker will ask after `address`: the next one of the range as far on
  // as this one was from its last (the workers share the range out in turns). With the waiters'
  // mutex held.
  Hint NextOf(std::uint32_t address) {
    struct Last {
      const RawArpEngine* engine = nullptr;
      std::uint64_t scan = 0;
      std::uint32_t address = 0;
    };
    thread_local Last last;
    Hint next;
    const std::uint32_t offset = address - rangeFirst_;
    if (offset < rangeCount_ && last.engine == this && last.scan == scan_ && address > last.address) {
      const std::uint32_t stride = address - last.address;
      if (stride < rangeCount_ - offset) next = {address + stride, scan_};
    }
    last = {this, scan_, address};
    return next;
  }

  // The worker asking for `next` waits out its last stretch: its next address is asked ahead.
  void Foresee(const Hint& next) {
    {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      if (next.scan != scan_ || waiters_.cancelled || ahead_.size() + hints_.size() >= kMostAhead) return;
      hints_.push_back(next);
    }
    aheadWake_.notify_one();
  }

  void AskAhead() {
    std::unique_lock<std::mutex> lock(waiters_.mutex);
    for (;;) {
      aheadWake_.wait(lock, [this] { return closing_ || !hints_.empty(); });
      if (closing_) return;
      const Hint hint = hints_.front();
      hints_.pop_front();
      if (hint.scan != scan_ || waiters_.cancelled || gone_) continue;
      const auto links = links_.Get();
      MacBytes own{};
      const LinkAddress* link = LinkToAsk(*links, hint.address, own);
      if (link == nullptr) continue;
      const std::uint64_t key = WaitKey(link->index, hint.address);
      if (waiters_.Waiting(key)) continue;  // the worker is there already
      Ahead queued;
      queued.state = Ahead::Queued;
      if (!ahead_.emplace(key, queued).second) continue;
      lock.unlock();
      SendAhead(*link, hint.address, key);
      lock.lock();
    }
  }

  // The request ahead in a turn no worker needs; not sent when a worker came to the address first.
  void SendAhead(const LinkAddress& link, std::uint32_t address, std::uint64_t key) {
    int error = -1;
    const auto send = [&](PaceTime at) {
      {
        std::lock_guard<std::mutex> lock(waiters_.mutex);
        const auto entry = ahead_.find(key);
        if (entry == ahead_.end() || entry->second.state != Ahead::Queued) return false;
        entry->second.state = Ahead::Sent;  // before the wire, as the answer may come at once
        entry->second.sentAt = at;
      }
      error = wire_->Send(link, address);
      return error == 0;
    };
    PaceTime at{};
    const bool granted = pacer_->Send(SendKind::Ahead, send, at);
    if (error == EPIPE) gone_ = true;
    if (error > 0 && LacksRoom(error)) pacer_->NoRoom(at);
    if (!granted || error != 0) {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      ahead_.erase(key);
    }
  }

  // An answer with no worker waiting for it: kept for the worker that comes to an address asked
  // ahead (the first answer wins); a refusal leaves that worker to ask itself. With the waiters'
  // mutex held; false when nothing was asked ahead for it.
  bool KeepAhead(std::uint64_t key, const MacBytes* mac, PaceTime at) {
    const auto entry = ahead_.find(key);
    if (entry == ahead_.end() || entry->second.state == Ahead::Queued) return false;
    if (mac == nullptr) {
      ahead_.erase(entry);
    } else if (entry->second.state == Ahead::Sent) {
      entry->second.state = Ahead::Heard;
      entry->second.mac = *mac;
      entry->second.heardAt = at;
    }
    return true;
  }

  // A request asked ahead that a worker takes over: true, with how long after its first resend was
  // due the worker came, when every attempt still fits in the time-out from that request; else the
  // worker asks afresh.
  bool TakeOver(PaceTime sentAt, PaceTime& late) {
    const AskPlan plan = pacer_->Plan();
    late = std::max(PaceTime{}, pacer_->PaceClock().Now() - (sentAt + plan.spacing));
    return plan.giveUp + late <= plan.longest;
  }

  // Asks `address` until its answer or the end of its wait.
  void Ask(const LinkAddress& link, std::uint32_t address, std::uint64_t key, const Ahead& ahead, Hint next,
           MacBytes& mac) {
    Waiters::Waiter waiter;
    {
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      if (waiters_.cancelled) return;
      waiters_.Add(key, waiter);
    }
    // The pacer says how often and how long: requests `spacing` apart from the first that went,
    // the wait ending `giveUp` after it. Asked again at each step, as answers to other workers'
    // requests may by then have shown more loss or slower machines. Time a resend spent waiting
    // for its turn on a busy wire is added to the wait, within the time-out. A request asked ahead
    // counts as the first; the time the worker came late to it counts as such a wait.
    PaceTime sent[ArpPacer::kMostAttempts];
    int requests = 0;
    PaceTime queued{};
    if (ahead.state == Ahead::Sent && TakeOver(ahead.sentAt, queued)) {
      sent[0] = ahead.sentAt;
      requests = 1;
    } else if (SendWithRoom(link, address, waiter, sent[0])) {
      requests = 1;
    }
    if (requests == 1) {
      for (int attempt = 1;; ++attempt) {
        const AskPlan plan = pacer_->Plan();
        const PaceTime giveUp = sent[0] + std::min(plan.giveUp + queued, plan.longest);
        const PaceTime due = sent[0] + queued + plan.spacing * attempt;
        const bool more = attempt < plan.attempts && due < giveUp;
        const PaceTime until = more ? due : giveUp;
        if (!more && next.scan != 0) {
          Foresee(next);
          next.scan = 0;
        }
        std::unique_lock<std::mutex> lock(waiters_.mutex);
        if (waiter.wake.wait_until(lock, SteadyTime(until), [&] { return waiter.done; })) break;
        lock.unlock();
        if (!more) break;
        int error = -1;
        const auto resend = [&](PaceTime at) {
          if (at < giveUp) error = wire_->Send(link, address);
          return error == 0;
        };
        PaceTime at{};
        if (!pacer_->Send(SendKind::Resend, resend, at) || at >= giveUp) break;
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
    if (!answered && gone_) Fallback(htonl(address), mac);
  }

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
      if (!pacer_->Send(SendKind::First, send, at)) return false;
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
      bool waited, kept = false;
      {
        std::lock_guard<std::mutex> lock(waiters_.mutex);
        waited = waiters_.Settle(key, mac, at);
        if (!waited) kept = KeepAhead(key, mac, at);
      }
      if (!waited && !kept && mac != nullptr) pacer_->Unclaimed(key, at);
    };
    while (WaitReadable(wire_->Fd(), stop_)) {
      if (wire_->Read(heard)) continue;
      // The wire went away: every worker still waiting asks the fallback instead.
      gone_ = true;
      std::lock_guard<std::mutex> lock(waiters_.mutex);
      for (const std::uint64_t key : waiters_.Keys()) waiters_.Settle(key, nullptr);
      ahead_.clear();
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

  // Asking ahead, under the waiters' mutex: the scan's range (host order) and its number (counted
  // up by each scan and each Stop, so that nothing of an earlier one is asked), the addresses to ask
  // ahead in order, and what was asked ahead and not yet claimed, by wait key. No more of them than
  // a scan has workers, bar a wrong guess.
  static constexpr std::size_t kMostAhead = 2048;
  std::uint32_t rangeFirst_ = 0;
  std::uint32_t rangeCount_ = 0;
  std::uint64_t scan_ = 1;
  std::deque<Hint> hints_;
  std::unordered_map<std::uint64_t, Ahead> ahead_;
  bool closing_ = false;
  std::condition_variable aheadWake_;
  std::thread aheadThread_;
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
