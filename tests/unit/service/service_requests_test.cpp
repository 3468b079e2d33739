#include <memory>

#include "service_fixture.h"
#include "support/mock_clock.h"
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

  // Waits (bounded) until the service thread has ticked `count` times.
  bool Ticked(size_t count) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (svc.journal.Count("tick") < count && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(1ms);
    return svc.journal.Count("tick") >= count;
  }

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
    while (!release) std::this_thread::sleep_for(1ms);
    svc.journal.Add("tick done");
  };
  ArmOnStart(10000);
  Start();
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kRunning));
  clock.advance(10000);
  while (!in_tick) std::this_thread::sleep_for(1ms);
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
    clock.advance(10000);  // the timer falls due meanwhile
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
  clock.advance(10000);
  ASSERT_TRUE(Ticked(1));
  Send(platform::kControlPause);
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kPaused));
  clock.advance(4 * 10000);  // four periods
  std::this_thread::sleep_for(50ms);  // time for a tick that must not come
  EXPECT_EQ(svc.journal.Count("tick"), 1u);
  EXPECT_TRUE(svc.ServiceThread()->Parked());

  Send(platform::kControlInterrogate);
  ASSERT_TRUE(Ticked(2));
  // Still reported paused, yet ticking again: one tick, not one per missed
  // period, and the next one a whole period later.
  EXPECT_EQ(States().back(), kPaused);
  const auto events = svc.journal.Events();
  EXPECT_EQ(events[events.size() - 2], "interrogate");
  EXPECT_FALSE(svc.ServiceThread()->Parked());
  clock.advance(9999);
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(svc.journal.Count("tick"), 2u);
  clock.advance(1);
  EXPECT_TRUE(Ticked(3));
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
