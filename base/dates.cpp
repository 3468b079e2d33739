#include "base/dates.h"

#include <cmath>

#include "platform/host.h"

namespace base {
namespace {

constexpr int64_t kMsPerDay = 86400000;

// Days from 0001-01-01 (proleptic Gregorian) to the given date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;  // days since 1970-01-01
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

const int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);

}  // namespace

TDateTime EncodeDate(int year, int month, int day) {
  return static_cast<double>(DaysFromCivil(year, month, day) - kEpochOffset);
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  const int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  return static_cast<double>(ms) / kMsPerDay;
}

TDateTime ToDateTime(const platform::LocalTime& t) {
  return EncodeDate(t.year, t.month, t.day) + EncodeTime(t.hour, t.minute, t.second, t.millisecond);
}

platform::LocalTime DecodeDateTime(TDateTime value) {
  const int64_t total_ms = static_cast<int64_t>(std::llround(value * kMsPerDay));
  int64_t days = total_ms / kMsPerDay;
  int64_t ms = total_ms % kMsPerDay;
  if (ms < 0) { ms += kMsPerDay; --days; }
  int y, m, d;
  CivilFromDays(days + kEpochOffset, y, m, d);
  platform::LocalTime t;
  t.year = static_cast<uint16_t>(y);
  t.month = static_cast<uint16_t>(m);
  t.day = static_cast<uint16_t>(d);
  t.hour = static_cast<uint16_t>(ms / 3600000);
  t.minute = static_cast<uint16_t>(ms / 60000 % 60);
  t.second = static_cast<uint16_t>(ms / 1000 % 60);
  t.millisecond = static_cast<uint16_t>(ms % 1000);
  return t;
}

TDateTime DateOf(TDateTime value) { return std::floor(value); }

int DayOfWeek(TDateTime value) {
  // Day 0 (1899-12-30) was a Saturday.
  const int64_t days = static_cast<int64_t>(std::floor(value));
  return static_cast<int>(((days + 6) % 7 + 7) % 7) + 1;
}

TDateTime Now() { return ToDateTime(platform::host().clock->local_now()); }

TDateTime Date() { return DateOf(Now()); }

}  // namespace base
