// The pace of ARP requests on the wire, shared by every worker of an engine. Requests leave one at a
// time, evenly spaced, at a rate that adapts to what the network answers: it starts modestly, grows
// while first requests are answered and is cut back on signs of overload (answers that needed a
// resend, answers after their worker gave up, a growing round trip, sends refused for lack of room).
// An optional hard cap holds in every one-second window, resends included. The answers also tell
// how many attempts a silent address deserves and how long a worker waits for one.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace quarvo::arp {

// Time on the pacer's clock.
using PaceTime = std::chrono::nanoseconds;
inline constexpr PaceTime kNever = PaceTime::max();
// Before anything happened: far enough back that every pause since counts as long, near enough that
// subtracting it from a time on the clock cannot overflow.
inline constexpr PaceTime kLongAgo = -std::chrono::hours(24 * 365 * 10);

class PacerClock {
 public:
  virtual ~PacerClock() = default;
  virtual PaceTime Now() = 0;
  // Waits on `wake`, with `lock` held, until `until` or a notification; may wake early.
  virtual void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                         PaceTime until) = 0;
};

// The steady clock.
PacerClock& SteadyPacerClock();

// How one address is asked: `attempts` requests `spacing` apart, the first counting as sent at
// its time on the wire; the worker gives up `giveUp` after the first, later by the time its
// resends waited for their turns, but never after `longest`.
struct AskPlan {
  int attempts = 3;
  PaceTime spacing{};
  PaceTime giveUp{};
  PaceTime longest{};  // the time-out: no wait goes past it
};

// Whose turn comes first on the wire: a resend (its worker's wait is running), then a worker's
// first request, then a first request sent ahead of the workers (nobody waits for it yet).
enum class SendKind { Resend, First, Ahead };

// What the pace was since the last report.
struct PaceReport {
  std::uint64_t requests = 0;  // on the wire
  std::uint32_t lateAnswers = 0;
  double averageRate = 0;  // requests a second, between the first and the last request
  double peakRate = 0;     // the highest rate the controller reached
  // The network limited the pace: answers came late, or signs of overload (a growing round trip,
  // no room) cut the rate to half its peak or less.
  bool limited = false;
};

class ArpPacer {
 public:
  // The controller's rules, in one place; docs/arp-pacing.md says why these values.
  static constexpr double kStartRate = 300;  // requests a second
  static constexpr double kLowestRate = 20;  // cuts stop here (a cap may be lower)
  static constexpr double kHighestRate = 10000;
  static constexpr double kSlowStartDoubling = 0.1;  // seconds of answered sending per doubling
  static constexpr double kGrowthPerSecond = 2.5;    // after the first cut, while answered
  static constexpr double kLateCut = 0.5;            // an answer after its worker gave up
  static constexpr double kNoRoomCut = 0.5;          // the kernel had no room for a request
  static constexpr double kDelayCut = 0.7;           // round trips grew by a queue on the way
  static constexpr double kResendCut = 0.9;          // an answer that needed a resend
  static constexpr std::chrono::milliseconds kQueueDelay{15};
  static constexpr std::chrono::milliseconds kGiveUpFloor{450};  // a machine in power save answers in 400 ms
  static constexpr double kTailFactor = 1.5;
  static constexpr int kFewestAttempts = 2;
  static constexpr int kMostAttempts = 8;
  static constexpr int kStartAttempts = 3;     // until enough answers tell the loss
  static constexpr double kMissBound = 0.002;  // a machine behind the loss is missed once in 500
  static constexpr std::chrono::seconds kIdleRestart{5};
  static constexpr std::chrono::seconds kLateWatch{5};
  // Without a cap, a pace that fell less than this behind its slots (a worker woken late for its
  // turn) sends the turns it missed at once, so that the wire keeps the rate it is given.
  static constexpr std::chrono::milliseconds kCatchUp{1};

  // `timeoutMs` bounds the wait for one address; `capPerSecond` 0 is no cap.
  ArpPacer(PacerClock& clock, std::uint32_t timeoutMs, std::uint32_t capPerSecond);
  ArpPacer(const ArpPacer&) = delete;
  ArpPacer& operator=(const ArpPacer&) = delete;

  // Waits for a turn on the wire (in the order of SendKind) and calls `send` in it with the time of
  // the turn, also left in `at`; `send` says whether a request went (a resend whose turn came too
  // late does not go, and leaves the turn to the next). The worker at the head of the queue serves
  // every turn that is due, so `send` may run on another worker's thread while its own waits; it
  // must not call back into the pacer. Returns false without calling `send` when Cancel ends the
  // wait.
  bool Send(SendKind kind, const std::function<bool(PaceTime at)>& send, PaceTime& at);
  // Ends the waits of every worker now waiting for a turn; later sends wait as usual.
  void Cancel();

  AskPlan Plan();
  PacerClock& PaceClock() { return clock_; }

  // An answer for an address first asked at `firstSent`, after `requests` requests for it, the
  // last of them at `lastSent`.
  void Answered(PaceTime firstSent, PaceTime lastSent, PaceTime at, int requests);
  // The worker asking this address (any 64-bit key) gives up on it.
  void GaveUp(std::uint64_t key, PaceTime firstSent);
  // An answer that no worker waits for: counted as late when its address was given up lately.
  void Unclaimed(std::uint64_t key, PaceTime at);
  // The kernel refused a request sent at `at` for lack of room.
  void NoRoom(PaceTime at);

  // Since the last report; starts the next one.
  PaceReport TakeReport();

  // The controller's present rate, requests a second (tests).
  double Rate();

 private:
  struct Turn {
    std::uint64_t generation;
    const std::function<bool(PaceTime at)>* send;
    std::deque<Turn*>* queue;
    bool served = false;
    PaceTime at{};
    std::condition_variable wake;
  };

  Turn* Head() const;
  void Serve(Turn& turn, PaceTime now, bool waited);
  PaceTime NextAllowed(PaceTime now) const;
  void Grow(PaceTime now);
  void Cut(double factor, PaceTime about, PaceTime now);
  void Tail(PaceTime rtt);
  double Loss() const;

  PacerClock& clock_;
  const PaceTime timeout_;
  const std::uint32_t cap_;
  std::mutex mutex_;
  std::deque<Turn*> resends_, firsts_, aheads_;
  std::uint64_t generation_ = 0;

  PaceTime lastSend_ = kLongAgo;  // on the wire
  PaceTime nextSlot_ = kLongAgo;  // when the next request may go

  // The controller.
  double rate_ = kStartRate;
  double threshold_ = std::numeric_limits<double>::infinity();  // slow start below it
  PaceTime lastGrowth_ = kLongAgo;
  PaceTime backlogged_ = kLongAgo;  // when a request last had to wait for its turn
  PaceTime lastCut_ = kLongAgo;     // signals about requests sent before it are already answered for
  PaceTime baseRtt_ = kNever;
  std::vector<PaceTime> recentRtts_;  // first answers since the last cut
  std::vector<PaceTime> tail_;        // the latest answers' round trips
  std::size_t tailAt_ = 0;
  std::uint64_t attemptsAnswered_ = 0, attemptsFailed_ = 0;  // requests of answered addresses
  std::unordered_map<std::uint64_t, PaceTime> gaveUp_;
  std::deque<std::pair<PaceTime, std::uint64_t>> gaveUpOrder_;

  // The report.
  std::uint64_t requests_ = 0;
  std::uint32_t late_ = 0;
  PaceTime firstOfReport_ = kNever, lastOfReport_ = kNever;
  double peak_ = kStartRate, lowestAfterPeak_ = kStartRate;
  bool overloaded_ = false;  // a cut for overload (late answers, queueing, no room), not a resend
};

}  // namespace quarvo::arp
