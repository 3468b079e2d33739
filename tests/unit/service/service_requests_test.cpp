#include <memory>

#include "service_fixture.h"
#include "support/mock_clock.h"
#include "support/wait_until.h"
#include "event_loop/timer.h"

using namespace service_test;
using service::TService;

namespace {

// A service whose start arms a timer on the service thread, as the module's
// start handler does. Time moves when the test says so.
class TimedServiceHost : public ServiceHost {
 protected:
  testing_support::MockClock clock;
  platform::ScopedOverride<platform::Clock> use_clock{&platform::Host::clock, &clock};
  event_loop::TTimer timer;
  std::function<void()> on_tick = [] {};

  void ArmOnStart(uint32_t interval) {
    svc.SetOnStart([this, interval](TService*, bool&) {
      timer.SetInterval(interval);
      timer.SetOnTimer([this](core::TComponent*) {
        svc.journal.Add("tick");
        on_tick();
      });
    });
  }
};

}  // namespace

TEST_F(TimedServiceHost, RequestArrivingDuringALongTickRunsAfterIt) {
  std::atomic<bool> in_tick{false}, release{false};
  on_tick = [&] {
    if (svc.journal.Count("tick") != 1) return;
    in_tick = true;
    ASSERT_TRUE(testing_support::WaitUntil([&] { return release.load(); }));
    svc.journal.Add("tick done");
  };
  ArmOnStart(10000);
  Start();
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kRunning));
  clock.jump_by(10000);  // the test goes on while the tick runs
  ASSERT_TRUE(testing_support::WaitUntil([&] { return in_tick.load(); }));
  Send(platform::kControlInterrogate);  // posted, so queued behind the tick
  release = true;
  ASSERT_TRUE(Reported(4));
  const auto events = svc.journal.Events();
  const auto done = std::find(events.begin(), events.end(), "tick done");
  const auto asked = std::find(events.begin(), events.end(), "interrogate");
  ASSERT_NE(asked, events.end());
  EXPECT_LT(done, asked);
}

TEST_F(TimedServiceHost, TickFallenDueDuringStopRunsOnceInTheFinalDrain) {
  svc.SetOnStop([&](TService*, bool&) {
    svc.journal.Add("stop");
    clock.jump_by(10000);  // the timer falls due meanwhile
  });
  ArmOnStart(10000);
  Start();
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kRunning));
  Send(platform::kControlStop);
  ASSERT_TRUE(Finished());
  const auto events = svc.journal.Events();
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[events.size() - 2], "stop");
  EXPECT_EQ(events.back(), "tick");
}

TEST_F(TimedServiceHost, PausedThreadRunsNothingUntilTheNextRequestThenOneTick) {
  ArmOnStart(10000);
  Start();
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kRunning));
  clock.fast_forward_by(10000);
  ASSERT_EQ(svc.journal.Count("tick"), 1u);
  Send(platform::kControlPause);
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kPaused));
  clock.fast_forward_by(4 * 10000);  // four periods
  EXPECT_EQ(svc.journal.Count("tick"), 1u);
  EXPECT_TRUE(svc.ServiceThread()->Parked());

  Send(platform::kControlInterrogate);
  clock.fast_forward_by(0);  // what the request makes due
  ASSERT_EQ(svc.journal.Count("tick"), 2u);
  // Still reported paused, yet ticking again: one tick, not one per missed
  // period, and the next one a whole period later.
  EXPECT_EQ(States().back(), kPaused);
  const auto events = svc.journal.Events();
  EXPECT_EQ(events[events.size() - 2], "interrogate");
  EXPECT_FALSE(svc.ServiceThread()->Parked());
  clock.fast_forward_by(9999);
  EXPECT_EQ(svc.journal.Count("tick"), 2u);
  clock.fast_forward_by(1);
  EXPECT_EQ(svc.journal.Count("tick"), 3u);
}

TEST_F(ServiceHost, PauseAndContinueReportTheirPendingStates) {
  svc.SetOnContinue([](TService*, bool& continued) { continued = false; });
  Start();
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kRunning));
  Send(platform::kControlPause);
  Send(platform::kControlContinue);  // refused: back to paused, but awake
  Send(platform::kControlContinue);  // the thread was not parked again
  ASSERT_TRUE(Reported(9));
  EXPECT_EQ(States(), (std::vector<uint32_t>{kStartPending, kStartPending, kRunning, kPausePending, kPaused,
                                             kContinuePending, kPaused, kContinuePending, kPaused}));
}

TEST_F(ServiceHost, RequestPostedWhilePausingStillWakesTheThread) {
  // The pause handler itself posts: the request exists before the thread
  // has begun to wait, the moment a wake-up is easiest to lose.
  svc.SetOnPause([](TService* s, bool&) { s->PostControlRequest(platform::kControlContinue); });
  Start();
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kRunning));
  Send(platform::kControlPause);
  ASSERT_TRUE(Reported(7, 5s));
  EXPECT_EQ(States(), (std::vector<uint32_t>{kStartPending, kStartPending, kRunning, kPausePending, kPaused,
                                             kContinuePending, kRunning}));
}

TEST_F(ServiceHost, PauseQueuedBehindAStopStillEndsInStopped) {
  // The pause is taken in the final drain, after the stop has terminated
  // the service thread.
  svc.SetOnStop([](TService* s, bool&) { s->PostControlRequest(platform::kControlPause); });
  Start();
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kRunning));
  Send(platform::kControlStop);
  ASSERT_TRUE(Finished(5s)) << "the service thread parked after its stop";
  EXPECT_EQ(States().back(), kStopped);
}

TEST_F(ServiceHost, StormOfPauseContinueAndInterrogateIsHandledCompletely) {
  std::atomic<int> pauses{0}, continues{0};
  svc.SetOnPause([&](TService*, bool&) { ++pauses; });
  svc.SetOnContinue([&](TService*, bool&) { ++continues; });
  Start();
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kRunning));
  constexpr int kRounds = 2000;
  std::thread sender([] {
    for (int i = 0; i < kRounds; ++i) {
      TestService::Controller(platform::kControlPause);
      TestService::Controller(platform::kControlContinue);
      TestService::Controller(platform::kControlInterrogate);
      if (i % 3 == 0) TestService::Controller(platform::kControlPause);
    }
  });
  sender.join();
  TestService::Controller(platform::kControlStop);
  if (!Finished(60s)) {
    ADD_FAILURE() << "service thread stuck after " << pauses << " pauses";
    std::abort();  // a parked thread would hang the program instead
  }
  EXPECT_EQ(pauses, kRounds + (kRounds + 2) / 3);
  EXPECT_EQ(continues, kRounds);
  EXPECT_EQ(svc.journal.Count("interrogate"), static_cast<size_t>(kRounds));
  EXPECT_EQ(States().back(), kStopped);
}
