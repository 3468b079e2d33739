#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <mutex>
#include <vector>

#include "base/exceptions.h"
#include "loop_helpers.h"
#include "timers/application.h"
#include "timers/timer.h"

using namespace timers;
using namespace timers_test;

namespace {

struct TickLog {
  std::mutex mutex;
  std::vector<SteadyClock::time_point> times;
  std::vector<uint32_t> threads;
  void Record() {
    std::lock_guard lock(mutex);
    times.push_back(SteadyClock::now());
    threads.push_back(CurrentThreadId());
  }
  size_t Count() {
    std::lock_guard lock(mutex);
    return times.size();
  }
};

TNotifyEvent Recorder(TickLog& log) {
  return [&log](TComponent*) { log.Record(); };
}

}  // namespace

TEST(TTimer, ArmedOnlyWithIntervalEnabledAndHandler) {
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
    PumpFor(100ms);
    EXPECT_EQ(timer.Armed(), c.armed) << c.interval << c.enabled << c.handler;
    EXPECT_EQ(log.Count() > 0, c.armed) << c.interval << c.enabled << c.handler;
  }
}

TEST(TTimer, IntervalZeroReleasesTheWindowAndSettingItBackArmsOnTheCallingThread) {
  TickLog log;
  TTimer timer;
  timer.SetInterval(20);
  timer.SetOnTimer(Recorder(log));
  ASSERT_TRUE(PumpUntil([&] { return log.Count() > 0; }));
  timer.SetInterval(0);
  EXPECT_FALSE(timer.Armed());
  const size_t before = log.Count();
  PumpFor(100ms);
  EXPECT_EQ(log.Count(), before);

  std::atomic<bool> stop{false};
  std::thread other([&] {
    timer.SetInterval(20);
    while (!stop) PumpFor(10ms);
  });
  // Ticks resume, but on the thread that re-armed it.
  while (log.Count() < before + 2) std::this_thread::sleep_for(5ms);
  stop = true;
  other.join();
  std::lock_guard lock(log.mutex);
  EXPECT_NE(log.threads.back(), CurrentThreadId());
}

TEST(TTimer, SameValueAssignmentKeepsThePeriodButHandlerAssignmentRestartsIt) {
  // Assigning every 5 ms with a 200 ms period: a restart would starve it.
  TickLog kept, restarted;
  TTimer a, b;
  a.SetInterval(200);
  b.SetInterval(200);
  a.SetOnTimer(Recorder(kept));
  b.SetOnTimer(Recorder(restarted));
  const auto end = SteadyClock::now() + 700ms;
  while (SteadyClock::now() < end) {
    a.SetEnabled(true);
    a.SetInterval(200);
    b.SetOnTimer(Recorder(restarted));
    PumpFor(5ms);
  }
  EXPECT_GE(kept.Count(), 1u);
  EXPECT_EQ(restarted.Count(), 0u);
}

TEST(TTimer, MissedPeriodsGiveOneTickNotOnePerPeriod) {
  TickLog log;
  TTimer timer;
  timer.SetInterval(20);
  SteadyClock::time_point returned{};
  timer.SetOnTimer([&](TComponent*) {
    log.Record();
    if (log.Count() == 1) {
      std::this_thread::sleep_for(250ms);  // a dozen periods
      returned = SteadyClock::now();
    }
  });
  ASSERT_TRUE(PumpUntil([&] { return log.Count() >= 3; }));
  std::lock_guard lock(log.mutex);
  // One tick falls due at once; the next waits a whole period again.
  EXPECT_LT(log.times[1] - returned, 15ms + (log.times[2] - log.times[1]));
  EXPECT_GE(log.times[2] - log.times[1], 15ms);
}

TEST(TTimer, PostedMessagesComeBeforeADueTick) {
  TickLog log;
  TTimer timer;
  timer.SetInterval(10);
  timer.SetOnTimer(Recorder(log));
  std::this_thread::sleep_for(50ms);  // the tick is due
  ASSERT_TRUE(PostToThread(CurrentThreadId(), WM_USER + 7, 1, 2));
  TMessage m;
  ASSERT_TRUE(TryTakeMessage(m));
  EXPECT_EQ(m.message, WM_USER + 7u);
  ASSERT_TRUE(TryTakeMessage(m));
  EXPECT_EQ(m.message, WM_TIMER);
  EXPECT_FALSE(TryTakeMessage(m));  // one pending tick, not five
}

TEST(TTimer, OffAndOnFromAnotherThreadMovesTheTicks) {
  TickLog log;
  TTimer timer;
  timer.SetInterval(60);
  timer.SetOnTimer(Recorder(log));
  const uint32_t old_thread = CurrentThreadId();
  ASSERT_TRUE(PumpUntil([&] { return log.Count() >= 1; }));

  std::atomic<bool> stop{false}, moved{false};
  SteadyClock::time_point rearmed;
  std::thread other([&] {
    timer.SetEnabled(false);
    timer.SetEnabled(true);
    rearmed = SteadyClock::now();
    moved = true;
    while (!stop) PumpFor(5ms);
  });
  while (!moved) std::this_thread::sleep_for(1ms);
  // The old thread keeps pumping but gets nothing more.
  const size_t before = log.Count();
  ASSERT_TRUE(PumpUntil([&] { return log.Count() >= before + 2; }));
  stop = true;
  other.join();
  std::lock_guard lock(log.mutex);
  for (size_t i = before; i < log.threads.size(); ++i) EXPECT_NE(log.threads[i], old_thread);
  EXPECT_GE(log.times[before] - rearmed, 55ms);  // a full period after re-arming
}

TEST(TTimer, TimerOfAnEndedThreadIsArmedAgainOnTheCallingThread) {
  TickLog log;
  TTimer timer;
  std::thread([&] {
    timer.SetInterval(20);
    timer.SetOnTimer(Recorder(log));
  }).join();
  EXPECT_EQ(log.Count(), 0u);
  timer.SetInterval(25);  // its window went away with that thread
  EXPECT_TRUE(PumpUntil([&] { return log.Count() >= 1; }));
}

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
  if (!woke) PostToThread(waiter_id, WM_QUIT, 0, 0);  // release it before failing
  waiter.join();
  ASSERT_TRUE(woke) << "the waiting thread slept past its shortened timer";
  const TMessage m = result.get();
  EXPECT_EQ(m.message, WM_TIMER);
  EXPECT_EQ(m.wparam, 1u);
}

class TimerExceptions : public ::testing::Test {
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
    ASSERT_TRUE(PumpUntil([&] { return ticks >= 2; })) << c.name;  // the next tick comes normally
    ASSERT_EQ(handled.size(), c.reported ? 1u : 0u) << c.name;
    if (c.reported) {
      EXPECT_EQ(handled[0].sender, &timer) << c.name;
      EXPECT_EQ(handled[0].message, c.message) << c.name;
    }
  }
}
