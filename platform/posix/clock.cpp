// platform/clock.h on clock_gettime and localtime_r.
#include <sys/time.h>
#include <time.h>

#include "platform/posix/base_services.h"

namespace platform::posix {

LocalTime PosixClock::local_now() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm parts {};
  localtime_r(&now.tv_sec, &parts);
  LocalTime t;
  t.year = static_cast<uint16_t>(parts.tm_year + 1900);
  t.month = static_cast<uint16_t>(parts.tm_mon + 1);
  t.day = static_cast<uint16_t>(parts.tm_mday);
  t.hour = static_cast<uint16_t>(parts.tm_hour);
  t.minute = static_cast<uint16_t>(parts.tm_min);
  t.second = static_cast<uint16_t>(parts.tm_sec);
  t.millisecond = static_cast<uint16_t>(now.tv_nsec / 1000000);
  return t;
}

uint64_t PosixClock::monotonic_ms() {
  struct timespec now {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

}  // namespace platform::posix
