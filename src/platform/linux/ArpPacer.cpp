#include "platform/linux/ArpPacer.h"

#include <algorithm>
#include <cmath>

namespace quarvo::arp {

namespace {

constexpr PaceTime kCapMargin = std::chrono::milliseconds(2);
constexpr int kDelaySamples = 8;  // first answers since the last cut before their median counts
constexpr int kRecentRtts = 16;
constexpr std::size_t kTailSamples = 32;
constexpr std::uint64_t kLossSamples = 16;  // requests of answered addresses before the loss counts
// The controller grows only while requests wait for their turns: a rate the scan does not use is
// not known to be carried.
constexpr PaceTime kBackloggedLately = std::chrono::milliseconds(100);
constexpr PaceTime kRefusalBurst = std::chrono::milliseconds(20);
constexpr PaceTime kLongestGrowthStep = std::chrono::milliseconds(100);

double Seconds(PaceTime time) {
  return std::chrono::duration<double>(time).count();
}

class SteadyClock final : public PacerClock {
 public:
  PaceTime Now() override { return std::chrono::steady_clock::now().time_since_epoch(); }
  void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, PaceTime until) override {
    if (until == kNever) {
      wake.wait(lock);
    } else {
      wake.wait_until(lock, std::chrono::steady_clock::time_point(
                                std::chrono::duration_cast<std::chrono::steady_clock::duration>(until)));
    }
  }
};

}  // namespace

PacerClock& SteadyPacerClock() {
  static SteadyClock clock;
  return clock;
}

ArpPacer::ArpPacer(PacerClock& clock, std::uint32_t timeoutMs, std::uint32_t capPerSecond)
    : clock_(clock), timeout_(std::chrono::milliseconds(timeoutMs)), cap_(capPerSecond) {
  if (cap_ > 0) rate_ = std::min(rate_, static_cast<double>(cap_));
  peak_ = lowestAfterPeak_ = rate_;
}

ArpPacer::Turn* ArpPacer::Head() const {
  if (!resends_.empty()) return resends_.front();
  if (!firsts_.empty()) return firsts_.front();
  return aheads_.empty() ? nullptr : aheads_.front();
}

PaceTime ArpPacer::NextAllowed(PaceTime now) const {
  return lastSend_ == kLongAgo ? now : std::max(now, nextSlot_);
}

bool ArpPacer::Send(SendKind kind, const std::function<bool(PaceTime at)>& send, PaceTime& at) {
  std::unique_lock<std::mutex> lock(mutex_);
  std::deque<Turn*>& queue = kind == SendKind::Resend  ? resends_
                             : kind == SendKind::First ? firsts_
                                                       : aheads_;
  Turn turn{generation_, &send, &queue, false, {}, {}};
  queue.push_back(&turn);
  bool waited = false;
  while (!turn.served) {
    if (turn.generation != generation_) {
      queue.erase(std::find(queue.begin(), queue.end(), &turn));
      break;
    }
    if (Head() != &turn) {
      clock_.WaitUntil(lock, turn.wake, kNever);
      waited = true;
      continue;
    }
    PaceTime now = clock_.Now();
    const PaceTime next = NextAllowed(now);
    if (now < next) {
      clock_.WaitUntil(lock, turn.wake, next);
      waited = true;
      continue;
    }
    // The head's own turn, then every other that is due by now: a handover to each worker's thread
    // would cost more than the gap between two requests at a fast pace.
    Serve(turn, now, waited);
    for (Turn* other = Head(); other != nullptr; other = Head()) {
      now = clock_.Now();
      if (now < NextAllowed(now)) break;
      Serve(*other, now, true);
      other->wake.notify_one();
    }
  }
  if (Turn* head = Head()) head->wake.notify_one();
  at = turn.at;
  return turn.served;
}

void ArpPacer::Serve(Turn& turn, PaceTime now, bool waited) {
  turn.queue->erase(std::find(turn.queue->begin(), turn.queue->end(), &turn));
  turn.served = true;
  turn.at = now;
  if (!(*turn.send)(now)) return;
  if (lastSend_ != kLongAgo && now - lastSend_ > kIdleRestart) {
    // A new scan, perhaps on another network: learn it afresh.
    rate_ = cap_ > 0 ? std::min(kStartRate, static_cast<double>(cap_)) : kStartRate;
    threshold_ = std::numeric_limits<double>::infinity();
    baseRtt_ = kNever;
    recentRtts_.clear();
    tail_.clear();
    attemptsAnswered_ = attemptsFailed_ = 0;
    lastCut_ = kLongAgo;
  }
  if (lastSend_ == kLongAgo || now - lastSend_ > kIdleRestart) lastGrowth_ = now;
  // Under a cap, `cap + 1` requests span a little more than a second, so that the few microseconds
  // between a turn and the wire cannot put one request too many into a one-second window; and no
  // missed turn is made up.
  const bool capped = cap_ > 0 && rate_ >= cap_;
  const double gap = capped ? (1e9 + static_cast<double>(kCapMargin.count())) / cap_ : 1e9 / rate_;
  const PaceTime interval(static_cast<std::int64_t>(std::ceil(gap)));
  // A turn a little behind its slot keeps the slots (the next may go at once); one far behind, as
  // after a pause, starts them afresh.
  const bool behind = cap_ == 0 && lastSend_ != kLongAgo && nextSlot_ >= now - kCatchUp;
  const PaceTime from = behind ? nextSlot_ : now;
  nextSlot_ = from + interval;
  lastSend_ = now;
  if (waited) backlogged_ = now;
  ++requests_;
  if (firstOfReport_ == kNever) firstOfReport_ = now;
  lastOfReport_ = now;
}

void ArpPacer::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++generation_;
  for (Turn* turn : resends_) turn->wake.notify_one();
  for (Turn* turn : firsts_) turn->wake.notify_one();
  for (Turn* turn : aheads_) turn->wake.notify_one();
}

AskPlan ArpPacer::Plan() {
  std::lock_guard<std::mutex> lock(mutex_);
  AskPlan plan;
  PaceTime tail{};
  for (PaceTime rtt : tail_) tail = std::max(tail, rtt);
  plan.giveUp = std::max<PaceTime>(kGiveUpFloor, std::chrono::duration_cast<PaceTime>(tail * kTailFactor));
  plan.giveUp = std::min(plan.giveUp, timeout_);
  plan.longest = timeout_;
  if (attemptsAnswered_ < kLossSamples) {
    plan.attempts = kStartAttempts;
  } else {
    const double loss = Loss();
    plan.attempts = loss <= 0 ? kFewestAttempts
                              : static_cast<int>(std::ceil(std::log(kMissBound) / std::log(loss) - 1e-9));
    plan.attempts = std::clamp(plan.attempts, kFewestAttempts, kMostAttempts);
  }
  // No resend before the slowest recent answer would have come: one sooner only adds to a queue
  // that delays the answers, and counts as loss what was only slow.
  plan.spacing = std::max(plan.giveUp / plan.attempts, tail);
  return plan;
}

// The share of requests to machines that answer which went unanswered: a geometric count, from
// the requests each answered address took. Its upper bound of about 95% confidence, so that few
// answers do not promise a clean wire.
double ArpPacer::Loss() const {
  const double n = static_cast<double>(attemptsAnswered_);
  const double share = static_cast<double>(attemptsFailed_) / n;
  return std::min(0.99, share + 2 * std::sqrt(share * (1 - share) / n) + 1 / n);
}

void ArpPacer::Grow(PaceTime now) {
  if (now - backlogged_ > kBackloggedLately) {
    lastGrowth_ = now;
    return;
  }
  const double step = Seconds(std::min(now - lastGrowth_, kLongestGrowthStep));
  lastGrowth_ = now;
  if (step <= 0) return;
  rate_ *= rate_ < threshold_ ? std::pow(2.0, step / kSlowStartDoubling) : std::pow(kGrowthPerSecond, step);
  rate_ = std::min(rate_, cap_ > 0 ? std::min(kHighestRate, static_cast<double>(cap_)) : kHighestRate);
  if (rate_ > peak_) peak_ = lowestAfterPeak_ = rate_;
}

void ArpPacer::Cut(double factor, PaceTime about, PaceTime now) {
  if (about < lastCut_) return;  // the cut that came after this request answers for it too
  rate_ = std::max(std::min(kLowestRate, rate_), rate_ * factor);
  threshold_ = rate_;
  lastCut_ = now;
  recentRtts_.clear();
  lowestAfterPeak_ = std::min(lowestAfterPeak_, rate_);
  // A resend alone may be loss or a slow machine; the other signals are the network's own pace.
  if (factor != kResendCut) overloaded_ = true;
}

void ArpPacer::Tail(PaceTime rtt) {
  if (tail_.size() < kTailSamples) {
    tail_.push_back(rtt);
  } else {
    tail_[tailAt_] = rtt;
    tailAt_ = (tailAt_ + 1) % kTailSamples;
  }
}

void ArpPacer::Answered(PaceTime firstSent, PaceTime lastSent, PaceTime at, int requests) {
  std::lock_guard<std::mutex> lock(mutex_);
  const PaceTime rtt = at - firstSent;
  requests = std::max(requests, 1);
  // ARP answers carry nothing that tells which request they answer. One that comes much later after
  // the last request than this wire answers (the quickest first answer, plus a queue's worth) is a
  // slow machine's answer to the first: a machine in power save, not loss, and not to be resent to
  // sooner. A queue on the way delays first answers too, and the median below sees it.
  if (requests > 1 && baseRtt_ != kNever &&
      at - lastSent > baseRtt_ + std::max<PaceTime>(kQueueDelay, baseRtt_)) {
    requests = 1;
    lastSent = firstSent;
  }
  attemptsAnswered_ += static_cast<std::uint64_t>(requests);
  attemptsFailed_ += static_cast<std::uint64_t>(requests - 1);
  // How slow machines answer: from the last request before the answer, so that our own resends
  // do not count as slowness.
  Tail(at - lastSent);
  // Every answer's time from the first request joins the round trips whose median shows a queue:
  // on a queueing segment answers come after the resends, and a lossy one resends for fewer than
  // half of them.
  if (requests == 1) baseRtt_ = std::min(baseRtt_, rtt);
  recentRtts_.push_back(rtt);
  if (recentRtts_.size() > kRecentRtts) recentRtts_.erase(recentRtts_.begin());
  if (recentRtts_.size() >= kDelaySamples && baseRtt_ != kNever) {
    std::vector<PaceTime> sorted = recentRtts_;
    const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
    std::nth_element(sorted.begin(), middle, sorted.end());
    if (*middle > baseRtt_ + std::max<PaceTime>(kQueueDelay, baseRtt_)) {
      Cut(kDelayCut, firstSent, clock_.Now());
      return;
    }
  }
  if (requests > 1) {
    Cut(kResendCut, firstSent, clock_.Now());
  } else {
    Grow(clock_.Now());
  }
}

void ArpPacer::GaveUp(std::uint64_t key, PaceTime firstSent) {
  std::lock_guard<std::mutex> lock(mutex_);
  gaveUp_[key] = firstSent;
  gaveUpOrder_.emplace_back(firstSent, key);
  while (gaveUpOrder_.front().first + kLateWatch < firstSent) {
    const auto entry = gaveUp_.find(gaveUpOrder_.front().second);
    if (entry != gaveUp_.end() && entry->second == gaveUpOrder_.front().first) gaveUp_.erase(entry);
    gaveUpOrder_.pop_front();
  }
}

void ArpPacer::Unclaimed(std::uint64_t key, PaceTime at) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto entry = gaveUp_.find(key);
  if (entry == gaveUp_.end() || entry->second + kLateWatch < at) return;
  const PaceTime firstSent = entry->second;
  gaveUp_.erase(entry);
  ++late_;
  Tail(at - firstSent);
  Cut(kLateCut, firstSent, clock_.Now());
}

void ArpPacer::NoRoom(PaceTime at) {
  std::lock_guard<std::mutex> lock(mutex_);
  // Refusals come in bursts: one cut for those within a short while of the last cut.
  Cut(kNoRoomCut, at - kRefusalBurst, at);
}

PaceReport ArpPacer::TakeReport() {
  std::lock_guard<std::mutex> lock(mutex_);
  PaceReport report;
  report.requests = requests_;
  report.lateAnswers = late_;
  report.peakRate = peak_;
  const double seconds = requests_ > 1 ? Seconds(lastOfReport_ - firstOfReport_) : 0;
  report.averageRate = seconds > 0 ? static_cast<double>(requests_ - 1) / seconds : 0;
  report.limited = late_ > 0 || (overloaded_ && lowestAfterPeak_ <= peak_ / 2);
  requests_ = 0;
  late_ = 0;
  firstOfReport_ = lastOfReport_ = kNever;
  peak_ = lowestAfterPeak_ = rate_;
  overloaded_ = false;
  return report;
}

double ArpPacer::Rate() {
  std::lock_guard<std::mutex> lock(mutex_);
  return rate_;
}

}  // namespace quarvo::arp
