#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <mutex>
#include <vector>

#include "base/os_errors.h"
#include "platform/clock.h"
#include "platform/host.h"
#include "support/mock_clock.h"
#include "event_loop/application.h"
#include "event_loop/timer.h"

using namespace event_loop;
using namespace std::chrono_literals;

namespace {

struct TickLog {
  std::mutex mutex;
  std::vector<uint32_t> threads;
  void Record() {
    std::lock_guard lock(mutex);
    threads.push_back(CurrentThreadId());
  }
  size_t Count() {
    std::lock_guard lock(mutex);
    return threads.size();
  }
};

TNotifyEvent Recorder(TickLog& log) {
  return [&log](TComponent*) { log.Record(); };
}

}  // namespace

namespace {

// Timers on a clock that only the test moves.
class OnMockClock : public testing::Test {
 protected:
  testing_support::MockClock clock;
  platform::ScopedOverride<platform::Clock> use_clock{&platform::Host::clock, &clock};

  // Dispatches what is waiting now; returns how many messages that was.
  static int DispatchWaiting() {
    int n = 0;
    for (TMessage m; TryTakeMessage(m); ++n) DispatchToWindow(m);
    return n;
  }

  // Runs `arm` on a new thread that then handles one message and ends.
  // True when the tick reached that thread exactly at the end of the
  // period, not a millisecond before.
  bool TicksAPeriodLaterOnAnotherThread(const std::function<void()>& arm, uint64_t period) {
    std::promise<uint32_t> armed;
    std::promise<void> ticked;
    std::thread other([&] {
      arm();
      armed.set_value(CurrentThreadId());
      TMessage m;
      if (TakeMessage(m)) DispatchToWindow(m);
      ticked.set_value();
    });
    const uint32_t other_id = armed.get_future().get();
    auto done = ticked.get_future();
    clock.fast_forward_by(period - 1);
    const bool early = done.wait_for(0s) == std::future_status::ready;
    clock.fast_forward_by(1);
    const bool came = done.wait_for(0s) == std::future_status::ready;
    if (!came) PostToThread(other_id, kQuitMessage, 0, 0);  // release it before failing
    other.join();
    return came && !early;
  }
};

}  // namespace

TEST_F(OnMockClock, ArmedOnlyWithIntervalEnabledAndHandler) {
  struct Case {
    uint32_t interval;
    bool enabled;
    bool handler;
    bool armed;
  };
  const Case cases[] = {{20, true, true, true}, {0, true, true, false}, {20, false, true, false}, {20, true, false, false}};
  for (const Case& c : cases) {
    TickLog log;
    TTimer timer;
    timer.SetInterval(c.interval);
    timer.SetEnabled(c.enabled);
    if (c.handler) timer.SetOnTimer(Recorder(log));
    clock.jump_by(100);
    DispatchWaiting();
    EXPECT_EQ(timer.Armed(), c.armed) << c.interval << c.enabled << c.handler;
    EXPECT_EQ(log.Count() > 0, c.armed) << c.interval << c.enabled << c.handler;
  }
}

TEST_F(OnMockClock, IntervalZeroReleasesTheWindowAndSettingItBackArmsOnTheCallingThread) {
  TickLog log;
  TTimer timer;
  timer.SetInterval(20);
  timer.SetOnTimer(Recorder(log));
  clock.jump_by(20);
  ASSERT_EQ(DispatchWaiting(), 1);
  timer.SetInterval(0);
  EXPECT_FALSE(timer.Armed());
  clock.jump_by(100);
  EXPECT_EQ(DispatchWaiting(), 0);

  // Ticks resume, but on the thread that re-armed it.
  EXPECT_TRUE(TicksAPeriodLaterOnAnotherThread([&] { timer.SetInterval(20); }, 20));
  std::lock_guard lock(log.mutex);
  ASSERT_EQ(log.threads.size(), 2u);
  EXPECT_NE(log.threads.back(), CurrentThreadId());
}


TEST_F(OnMockClock, SameValueAssignmentKeepsThePeriodButHandlerAssignmentRestartsIt) {
  // Assigning every 5 ms with a 200 ms period: a restart would starve it.
  TickLog kept, restarted;
  TTimer a, b;
  a.SetInterval(200);
  b.SetInterval(200);
  a.SetOnTimer(Recorder(kept));
  b.SetOnTimer(Recorder(restarted));
  for (int step = 0; step < 140; ++step) {
    a.SetEnabled(true);
    a.SetInterval(200);
    b.SetOnTimer(Recorder(restarted));
    clock.jump_by(5);
    DispatchWaiting();
  }
  EXPECT_EQ(kept.Count(), 3u);
  EXPECT_EQ(restarted.Count(), 0u);
}

TEST_F(OnMockClock, PeriodEndsExactlyOnTimeAndMissedPeriodsGiveOneTick) {
  TickLog log;
  TTimer poll;
  poll.SetInterval(60000);
  poll.SetOnTimer(Recorder(log));
  clock.jump_by(59999);
  EXPECT_EQ(DispatchWaiting(), 0);
  clock.jump_by(1);
  EXPECT_EQ(DispatchWaiting(), 1);
  clock.jump_by(12 * 60000);  // a dozen periods without looking
  EXPECT_EQ(DispatchWaiting(), 1);
  // The next period starts at that tick, not at the missed ones.
  clock.jump_by(59999);
  EXPECT_EQ(DispatchWaiting(), 0);
  clock.jump_by(1);
  EXPECT_EQ(DispatchWaiting(), 1);
  EXPECT_EQ(log.Count(), 3u);
}

TEST_F(OnMockClock, PostedMessagesComeBeforeADueTick) {
  TickLog log;
  TTimer timer;
  timer.SetInterval(10);
  timer.SetOnTimer(Recorder(log));
  clock.jump_by(50);  // the tick is due
  ASSERT_TRUE(PostToThread(CurrentThreadId(), kFirstUserMessage + 7, 1, 2));
  TMessage m;
  ASSERT_TRUE(TryTakeMessage(m));
  EXPECT_EQ(m.message, kFirstUserMessage + 7u);
  ASSERT_TRUE(TryTakeMessage(m));
  EXPECT_EQ(m.message, kTimerMessage);
  EXPECT_FALSE(TryTakeMessage(m));  // one pending tick, not five
}

TEST_F(OnMockClock, ThreadBlockedOnATenSecondTimerWakesWhenTheClockGetsThere) {
  std::atomic<uint32_t> waiter_id{0};
  std::promise<TMessage> taken;
  std::thread waiter([&] {
    WindowHandle window = CreateMessageWindow([](const TMessage&) {});
    SetTimer(window, 1, 10000);
    waiter_id = CurrentThreadId();
    TMessage m;
    TakeMessage(m);
    taken.set_value(m);
  });
  while (!waiter_id) std::this_thread::yield();
  auto result = taken.get_future();
  // A real wait: it lets the thread block in its ten-second wait, which only
  // the wake-up of the jump ends within 5 s.
  EXPECT_EQ(result.wait_for(20ms), std::future_status::timeout);
  clock.jump_by(10000);
  const bool woke = result.wait_for(5s) == std::future_status::ready;
  if (!woke) PostToThread(waiter_id, kQuitMessage, 0, 0);
  waiter.join();
  ASSERT_TRUE(woke);
  EXPECT_EQ(result.get().message, kTimerMessage);
}

// Every tick on the way runs before the fast-forward returns, on this
// thread and on a thread of its own whose ticks take real time, each at
// its due time, local time moving with it.
TEST_F(OnMockClock, FastForwardRunsEveryTickOnTheWayAtItsTime) {
  clock.set(2026, 3, 25, 14, 0, 0);
  auto second = [] {
    const platform::LocalTime t = platform::host().clock->local_now();
    return t.minute * 60 + t.second;
  };
  std::vector<int> here;
  TTimer local;
  local.SetInterval(10000);
  local.SetOnTimer([&](TComponent*) { here.push_back(second()); });
  std::mutex mutex;
  std::vector<int> there;
  auto seen_there = [&] {
    std::lock_guard lock(mutex);
    return there;
  };
  std::promise<uint32_t> armed;
  std::thread other([&] {
    TTimer remote;
    remote.SetInterval(25000);
    remote.SetOnTimer([&](TComponent*) {
      const int at = second();
      std::this_thread::sleep_for(20ms);  // a slow tick: the clock must wait for it
      std::lock_guard lock(mutex);
      there.push_back(at);
    });
    armed.set_value(CurrentThreadId());
    for (TMessage m; TakeMessage(m);) DispatchToWindow(m);
  });
  const uint32_t other_id = armed.get_future().get();
  clock.fast_forward_by(9999);
  EXPECT_TRUE(here.empty());
  clock.fast_forward_by(60001);
  EXPECT_EQ(here, (std::vector<int>{10, 20, 30, 40, 50, 60, 70}));
  EXPECT_EQ(seen_there(), (std::vector<int>{25, 50}));
  PostToThread(other_id, kQuitMessage, 0, 0);
  other.join();
}

TEST_F(OnMockClock, OffAndOnFromAnotherThreadMovesTheTicks) {
  TickLog log;
  TTimer timer;
  timer.SetInterval(60);
  timer.SetOnTimer(Recorder(log));
  clock.jump_by(60);
  ASSERT_EQ(DispatchWaiting(), 1);
  clock.jump_by(30);  // half way to the next tick when it moves
  // A full period after re-arming, on the new thread; the old one keeps
  // looking but gets nothing more.
  EXPECT_TRUE(TicksAPeriodLaterOnAnotherThread(
      [&] {
        timer.SetEnabled(false);
        timer.SetEnabled(true);
      },
      60));
  std::lock_guard lock(log.mutex);
  ASSERT_EQ(log.threads.size(), 2u);
  EXPECT_NE(log.threads.back(), CurrentThreadId());
}

TEST_F(OnMockClock, TimerOfAnEndedThreadIsArmedAgainOnTheCallingThread) {
  TickLog log;
  TTimer timer;
  std::thread([&] {
    timer.SetInterval(20);
    timer.SetOnTimer(Recorder(log));
  }).join();
  EXPECT_EQ(log.Count(), 0u);
  timer.SetInterval(25);  // its window went away with that thread
  clock.jump_by(25);
  EXPECT_EQ(DispatchWaiting(), 1);
  EXPECT_EQ(log.Count(), 1u);
}

#if GTEST_HAS_DEATH_TEST && !defined(NDEBUG)
TEST(TTimerDeathTest, ReArmingOffItsOwningThreadAborts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TTimer timer;
  timer.SetInterval(20);
  timer.SetOnTimer([](TComponent*) {});  // this thread owns it now
  EXPECT_DEATH(std::thread([&] { timer.SetInterval(30); }).join(), "TTimer re-armed touched off its owning thread");
}
#endif

namespace {

struct Handled {
  TComponent* sender;
  std::wstring message;
};

// A thread blocked in its queue must see a deadline that another thread
// moves closer, also while the timer list it waits on grows and moves.
TEST(MessageQueue, BlockedThreadSeesItsTimerShortenedFromAnotherThread) {
  std::atomic<WindowHandle> window{0};
  std::atomic<uint32_t> waiter_id{0};
  std::promise<TMessage> taken;
  std::thread waiter([&] {
    window = CreateMessageWindow([](const TMessage&) {});
    SetTimer(window, 1, 3600000);
    waiter_id = CurrentThreadId();
    TMessage m;
    TakeMessage(m);  // the only timer is an hour away
    taken.set_value(m);
  });
  while (!waiter_id) std::this_thread::yield();
  std::this_thread::sleep_for(50ms);  // lets it block; had it not, the test passes without proving anything
  for (uint32_t id = 2; id < 64; ++id) ASSERT_TRUE(SetTimer(window, id, 3600000));
  ASSERT_TRUE(SetTimer(window, 1, 1));
  auto result = taken.get_future();
  const bool woke = result.wait_for(5s) == std::future_status::ready;
  if (!woke) PostToThread(waiter_id, kQuitMessage, 0, 0);  // release it before failing
  waiter.join();
  ASSERT_TRUE(woke) << "the waiting thread slept past its shortened timer";
  const TMessage m = result.get();
  EXPECT_EQ(m.message, kTimerMessage);
  EXPECT_EQ(m.wparam, 1u);
}

class TimerExceptions : public OnMockClock {
 protected:
  TApplication app;
  std::vector<Handled> handled;
  void SetUp() override {
    app.OnException = [this](TComponent* s, const std::exception& e) {
      handled.push_back({s, core::ExceptionMessage(e)});
    };
  }
};

}  // namespace

TEST_F(TimerExceptions, EscapedExceptionGoesToTheApplicationAndAbortIsDropped) {
  struct Case {
    const char* name;
    std::function<void()> raise;
    bool reported;
    std::wstring message;
  };
  const Case cases[] = {
      {"abort", [] { throw core::EAbort(L"cancelled"); }, false, L""},
      {"os error", [] { base::RaiseOSError(5); }, true, L"System Error.  Code: 5.\r\n" + base::SysErrorMessage(5)},
      {"std", [] { throw std::runtime_error("broken"); }, true, L"broken"},
  };
  for (const Case& c : cases) {
    handled.clear();
    int ticks = 0;
    TTimer timer;
    timer.SetInterval(10);
    timer.SetOnTimer([&](TComponent*) {
      if (++ticks == 1) c.raise();
    });
    for (int period = 0; period < 2; ++period) {
      clock.jump_by(10);
      DispatchWaiting();
    }
    ASSERT_EQ(ticks, 2) << c.name;  // the next tick comes normally
    ASSERT_EQ(handled.size(), c.reported ? 1u : 0u) << c.name;
    if (c.reported) {
      EXPECT_EQ(handled[0].sender, &timer) << c.name;
      EXPECT_EQ(handled[0].message, c.message) << c.name;
    }
  }
}
