#pragma once
#include <cstdint>

namespace platform {

struct LocalTime {
  uint16_t year = 0, month = 0, day = 0;
  uint16_t hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime local_now() = 0;
  // Monotonic milliseconds, for intervals.
  virtual uint64_t monotonic_ms() = 0;
};

}  // namespace platform
