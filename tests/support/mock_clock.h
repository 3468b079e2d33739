#pragma once
// A clock that moves only when a test says so: a 60 s period passes in
// microseconds, and every queue waiting on it looks again at each jump.
#include <atomic>
#include <cstdint>

#include "base/dates.h"
#include "support/fakes.h"
#include "event_loop/message_queue.h"

namespace testing_support {

class MockClock : public FixedClock {
 public:
  uint64_t monotonic_ms() override { return now_ms_; }
  void advance(uint64_t ms) {
    now_ms_ += ms;
    event_loop::WakeAllQueues();
  }
  // Time passing on the machine, awake or asleep: local time moves with the
  // monotonic clock.
  void pass(uint64_t ms) {
    const platform::LocalTime t = base::DecodeDateTime(base::ToDateTime(local_now()) + ms / 86400000.0);
    set(t.year, t.month, t.day, t.hour, t.minute, t.second);
    advance(ms);
  }

 private:
  std::atomic<uint64_t> now_ms_{1'000'000};
};

}  // namespace testing_support
