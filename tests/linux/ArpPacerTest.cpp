// The pace of requests on a fake clock: a wait for a turn moves the clock to the turn at once.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>

#include "platform/linux/ArpPacer.h"

namespace quarvo::arp {
namespace {

using std::chrono::milliseconds;

class FakeClock final : public PacerClock {
 public:
  PaceTime now = std::chrono::seconds(1000);
  PaceTime wakeLate{};  // how long after its time a wait ends
  PaceTime Now() override { return now; }
  void WaitUntil(std::unique_lock<std::mutex>&, std::condition_variable&, PaceTime until) override {
    ASSERT_NE(until, kNever) << "only the head of the queue waits in these tests";
    now = std::max(now, until + wakeLate);
  }
};

struct PacerTest : ::testing::Test {
  FakeClock clock;
  std::vector<PaceTime> wire;  // when each request went

  PaceTime Send(ArpPacer& pacer, bool resend = false) {
    PaceTime at{};
    const auto send = [&](PaceTime) {
      wire.push_back(clock.now);
      return true;
    };
    EXPECT_TRUE(pacer.Send(resend ? SendKind::Resend : SendKind::First, send, at));
    return at;
  }
  // `count` requests, each answered at once on its first try.
  void Answered(ArpPacer& pacer, int count) {
    for (int i = 0; i < count; ++i) {
      const PaceTime at = Send(pacer);
      pacer.Answered(at, at, at + milliseconds(1), 1);
    }
  }
  // The most requests in any one-second window of the wire.
  int BusiestSecond() const {
    int most = 0;
    for (std::size_t i = 0; i < wire.size(); ++i) {
      int inWindow = 0;
      for (std::size_t j = i; j < wire.size() && wire[j] < wire[i] + std::chrono::seconds(1); ++j) ++inWindow;
      most = std::max(most, inWindow);
    }
    return most;
  }
};

TEST_F(PacerTest, RequestsLeaveEvenlySpacedAndTheCapHoldsInEveryWindowResendsIncluded) {
  ArpPacer pacer(clock, 800, 15);
  for (int i = 0; i < 40; ++i) Send(pacer, i % 3 == 0);
  // A worker that comes late to its turn does not let the next ones crowd into its window.
  clock.now += milliseconds(900);
  for (int i = 0; i < 40; ++i) {
    const PaceTime at = Send(pacer, i % 2 == 0);
    pacer.Answered(at, at, at + milliseconds(1), 1);  // answers never lift a cap
  }
  EXPECT_EQ(BusiestSecond(), 15);
  for (std::size_t i = 1; i < wire.size(); ++i) {
    EXPECT_GE(wire[i] - wire[i - 1], milliseconds(1000) / 15) << "request " << i << " came in a burst";
  }

  // Without a cap, the start rate: modest, and the same gap between every two requests.
  ArpPacer open(clock, 800, 0);
  wire.clear();
  for (int i = 0; i < 20; ++i) Send(open);
  for (std::size_t i = 2; i < wire.size(); ++i) EXPECT_EQ(wire[i] - wire[i - 1], wire[1] - wire[0]);
  EXPECT_NEAR(1e9 / static_cast<double>((wire[1] - wire[0]).count()), ArpPacer::kStartRate, 1);
}

// A worker woken late for its turn (a busy machine wakes threads a few hundred microseconds late)
// must not slow a fast pace down: the turns it missed go at once. A cap is never made up for, and
// a pause is no debt either.
TEST_F(PacerTest, TurnsMissedByALateWakeGoAtOnceButNeverPastACap) {
  ArpPacer pacer(clock, 800, 0);
  Answered(pacer, 2000);
  ASSERT_EQ(pacer.Rate(), ArpPacer::kHighestRate);
  clock.wakeLate = std::chrono::microseconds(300);  // three turns at this pace
  wire.clear();
  for (int i = 0; i < 1001; ++i) Send(pacer);
  const double seconds = std::chrono::duration<double>(wire.back() - wire.front()).count();
  EXPECT_NEAR(1000 / seconds, ArpPacer::kHighestRate, ArpPacer::kHighestRate * 0.02);
  std::size_t together = 1, mostTogether = 1;  // requests at one instant
  for (std::size_t i = 1; i < wire.size(); ++i) {
    together = wire[i] == wire[i - 1] ? together + 1 : 1;
    mostTogether = std::max(mostTogether, together);
  }
  EXPECT_LE(mostTogether, 4u) << "no more at once than the turns the late wake missed";
  // After a pause the pace starts from the next request, not all at once.
  clock.now += milliseconds(50);
  wire.clear();
  clock.wakeLate = {};
  Send(pacer);
  Send(pacer);
  EXPECT_NEAR(1e9 / static_cast<double>((wire[1] - wire[0]).count()), ArpPacer::kHighestRate, 1);

  ArpPacer capped(clock, 800, 1000);
  Answered(capped, 2000);
  clock.wakeLate = std::chrono::microseconds(300);
  wire.clear();
  for (int i = 0; i < 50; ++i) Send(capped);
  for (std::size_t i = 1; i < wire.size(); ++i)
    EXPECT_GE(wire[i] - wire[i - 1], milliseconds(1)) << "request " << i << " came early under the cap";
}

TEST_F(PacerTest, AnsweredFirstRequestsSpeedUpAndLateAnswersSlowDownOncePerSignal) {
  ArpPacer pacer(clock, 800, 0);
  Answered(pacer, 400);
  const double fast = pacer.Rate();
  EXPECT_GT(fast, 2 * ArpPacer::kStartRate);

  // An answer after its worker gave up: the network is behind; the rate is cut.
  const PaceTime first = Send(pacer);
  pacer.GaveUp(7, first);
  const PaceTime second = Send(pacer);
  pacer.GaveUp(8, second);
  clock.now = first + milliseconds(600);
  pacer.Unclaimed(7, clock.now);
  EXPECT_NEAR(pacer.Rate(), fast * ArpPacer::kLateCut, fast * 0.05);
  // Another late answer about a request sent before that cut is the same overload: no second cut.
  const double once = pacer.Rate();
  clock.now = second + milliseconds(600);
  pacer.Unclaimed(8, clock.now);
  EXPECT_DOUBLE_EQ(pacer.Rate(), once);
  // A second answer of an address that was answered (a duplicate) is no sign of overload.
  pacer.Unclaimed(9, clock.now);
  EXPECT_DOUBLE_EQ(pacer.Rate(), once);
  // A request sent after the cut, answered late, cuts again.
  const PaceTime third = Send(pacer);
  pacer.GaveUp(10, third);
  clock.now = third + milliseconds(600);
  pacer.Unclaimed(10, clock.now);
  EXPECT_NEAR(pacer.Rate(), once * ArpPacer::kLateCut, once * 0.05);
  // The wire follows: requests now leave at the lower rate.
  wire.clear();
  Send(pacer);
  Send(pacer);
  EXPECT_NEAR(1e9 / static_cast<double>((wire[1] - wire[0]).count()), pacer.Rate(), 1);

  const PaceReport report = pacer.TakeReport();
  EXPECT_EQ(report.lateAnswers, 3u) << "late, if only one of them cut the rate";
  EXPECT_TRUE(report.limited);
  EXPECT_FALSE(pacer.TakeReport().limited) << "a report covers the time since the last one";

  // Answers that needed a resend slow the pace down too, but they may be loss or a slow machine:
  // the user is not told that the network held the pace back.
  ArpPacer lossy(clock, 800, 0);
  for (int i = 0; i < 30; ++i) {
    const PaceTime at = Send(lossy);
    lossy.Answered(at, at, at + milliseconds(1), 2);
  }
  EXPECT_LT(lossy.Rate(), ArpPacer::kStartRate / 2);
  EXPECT_FALSE(lossy.TakeReport().limited);
}

TEST_F(PacerTest, AFewSlowMachinesNeitherSlowTheWireNorGoUnheard) {
  ArpPacer pacer(clock, 800, 0);
  // Nothing measured yet: a machine in power save answering after 400 ms is still waited for.
  EXPECT_GT(pacer.Plan().giveUp, milliseconds(400));
  // One machine in ten answers after 380 ms: the pace still grows; the wait covers them.
  for (int i = 0; i < 300; ++i) {
    const PaceTime at = Send(pacer);
    pacer.Answered(at, at, at + (i % 10 == 0 ? milliseconds(380) : milliseconds(1)), 1);
  }
  EXPECT_GT(pacer.Rate(), 2 * ArpPacer::kStartRate);
  EXPECT_GE(pacer.Plan().giveUp, milliseconds(570));
  // --timeout stays the upper bound.
  ArpPacer shortWait(clock, 300, 0);
  EXPECT_EQ(shortWait.Plan().giveUp, milliseconds(300));
  // Round trips that all grow (a queue on the way) cut the rate.
  const double before = pacer.Rate();
  for (int i = 0; i < 20; ++i) {
    const PaceTime at = Send(pacer);
    pacer.Answered(at, at, at + milliseconds(60), 1);
  }
  EXPECT_LT(pacer.Rate(), before);
}

// An answer that comes long after a resend (a machine in power save answering the first request)
// is no loss: silent addresses keep the fewest attempts, the pace is not cut, and resends wait for
// such machines. One that comes as quickly after a resend as first answers do is loss.
TEST_F(PacerTest, ASlowAnswerAfterAResendIsNoLossButAQuickOneIs) {
  const auto after = [&](PaceTime afterResend) {
    auto pacer = std::make_unique<ArpPacer>(clock, 800, 0);
    for (int i = 0; i < 300; ++i) {
      const PaceTime at = Send(*pacer);
      if (i % 10 != 0) {
        pacer->Answered(at, at, at + milliseconds(1), 1);
      } else {  // resent at 225 ms, answered afterwards
        pacer->Answered(at, at + milliseconds(225), at + milliseconds(225) + afterResend, 2);
      }
    }
    return pacer;
  };
  const auto slow = after(milliseconds(150));  // 375 ms after the first request
  EXPECT_EQ(slow->Plan().attempts, ArpPacer::kFewestAttempts);
  EXPECT_GE(slow->Plan().spacing, milliseconds(375)) << "a resend before the slow answer could come";
  EXPECT_FALSE(slow->TakeReport().limited);
  const auto lost = after(milliseconds(1));
  EXPECT_GT(lost->Plan().attempts, ArpPacer::kFewestAttempts);
  EXPECT_LT(lost->Rate(), slow->Rate());
}

TEST_F(PacerTest, SilentAddressesGetTheAttemptsTheMeasuredLossCallsFor) {
  // Answers that needed 1 + k requests, k drawn so that the share of lost requests is `loss`.
  const auto planAfter = [&](double loss, int answers) {
    ArpPacer pacer(clock, 800, 0);
    double owed = 0;
    for (int i = 0; i < answers; ++i) {
      int requests = 1;
      for (owed += loss / (1 - loss); owed >= 1; owed -= 1) ++requests;
      const PaceTime at = Send(pacer);
      pacer.Answered(at, at, at + milliseconds(1), requests);
    }
    return pacer.Plan();
  };
  EXPECT_EQ(planAfter(0, 0).attempts, ArpPacer::kStartAttempts) << "before any answer";
  EXPECT_EQ(planAfter(0, 200).attempts, ArpPacer::kFewestAttempts) << "a clean wire: one resend";
  for (const double loss : {0.05, 0.2, 0.36, 0.5}) {
    const AskPlan plan = planAfter(loss, 400);
    // A machine behind that loss is found with 99% confidence, within the bound.
    EXPECT_TRUE(std::pow(loss, plan.attempts) <= 0.01 || plan.attempts == ArpPacer::kMostAttempts)
        << "loss " << loss << ": " << plan.attempts << " attempts";
    EXPECT_LE(plan.attempts, ArpPacer::kMostAttempts);
    EXPECT_LE(plan.spacing * plan.attempts, plan.giveUp) << "every attempt fits in the wait";
    EXPECT_GT(plan.spacing * plan.attempts, plan.giveUp - milliseconds(1)) << "and they fill it";
  }
  EXPECT_EQ(planAfter(0.9, 400).attempts, ArpPacer::kMostAttempts);
}

TEST(PacerCancel, ACancelWakesAWorkerWaitingForItsTurn) {
  ArpPacer pacer(SteadyPacerClock(), 800, 1);
  PaceTime at{};
  std::atomic<int> sent{0};
  const auto send = [&](PaceTime) { return ++sent > 0; };
  ASSERT_TRUE(pacer.Send(SendKind::First, send, at));
  std::atomic<bool> returned{false}, granted{true};
  std::thread worker([&] {
    granted = pacer.Send(SendKind::First, send, at);  // its turn is a second away
    returned = true;
  });
  while (!returned) {
    pacer.Cancel();
    std::this_thread::sleep_for(milliseconds(5));
  }
  worker.join();
  EXPECT_FALSE(granted);
  EXPECT_EQ(sent, 1);
}

}  // namespace
}  // namespace quarvo::arp
