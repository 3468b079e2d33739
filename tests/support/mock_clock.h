#pragma once
// One time that moves only when a test says so: local and monotonic time
// move together, and a 60 s period passes in microseconds.
//
// fast_forward_by() runs every tick that falls due on the way, in order,
// before it returns: the calling thread's own ticks it dispatches itself;
// for every other thread it waits (in real time, bounded) until that thread
// has taken and handled what fell due and is back at its queue. So "no tick
// came" and "n ticks came" hold exactly when it returns.
// jump_by() moves at once and runs nothing on the way: what a machine that
// slept, or a thread busy elsewhere, sees. Waiting threads still take what
// is due at the end as soon as they look.
//
// What stays real: anything that is not a timer. An HTTP exchange, a child
// process, a worker thread's run take real time while this time stands
// still, and a poll's budget only runs out when the test moves the time.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <thread>

#include "base/dates.h"
#include "platform/clock.h"
#include "event_loop/message_queue.h"

namespace testing_support {

class MockClock : public platform::Clock {
 public:
  platform::LocalTime local_now() override {
    std::lock_guard lock(mutex_);
    return base::DecodeDateTime(static_cast<double>(local_at_base_ms_ + (now_ms_ - base_ms_)) / kMsPerDay);
  }
  uint64_t monotonic_ms() override { return now_ms_; }

  // The local clock is set (by the administrator, or for daylight saving);
  // monotonic time does not move.
  void set(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi, uint16_t s = 0) {
    std::lock_guard lock(mutex_);
    local_at_base_ms_ = std::llround(base::ToDateTime({y, mo, d, h, mi, s, 0}) * kMsPerDay);
    base_ms_ = now_ms_;
  }

  void jump_by(uint64_t ms) { move_to(now_ms_ + ms); }

  void fast_forward_by(uint64_t ms) {
    const uint64_t end = now_ms_ + ms;
    for (;;) {
      if (!run_due()) return;
      const uint64_t next = event_loop::LookAtQueues().next_due_ms;
      if (next > end) break;
      move_to(next);
    }
    move_to(end);
    run_due();
  }

 private:
  static constexpr double kMsPerDay = 86400000.0;

  void move_to(uint64_t ms) {
    {
      std::lock_guard lock(mutex_);
      now_ms_ = std::max<uint64_t>(now_ms_, ms);
    }
    event_loop::WakeAllQueues();
  }

  // Runs what is due now, here and on every other thread. False, with a
  // test failure, when another thread does not come back to its queue.
  bool run_due() {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
      const event_loop::QueuesAtRest rest = event_loop::LookAtQueues();
      if (rest.own_waiting) {
        for (event_loop::TMessage m; event_loop::TryTakeMessage(m);) event_loop::DispatchToWindow(m);
        continue;
      }
      if (rest.others_at_rest) return true;
      if (std::chrono::steady_clock::now() > give_up) {
        ADD_FAILURE() << "a thread did not come back to its queue within 30 s of a tick falling due";
        return false;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  }

  std::mutex mutex_;
  std::atomic<uint64_t> now_ms_{1'000'000};
  uint64_t base_ms_ = 1'000'000;
  int64_t local_at_base_ms_ = std::llround(base::ToDateTime({2026, 3, 25, 14, 0, 0, 0}) * kMsPerDay);
};

}  // namespace testing_support
