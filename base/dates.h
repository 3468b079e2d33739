#pragma once
#include <cstdint>

#include "platform/clock.h"

namespace base {

// A date and time as a count of days since 30 December 1899 (local time);
// the fraction is the time of day.
using TDateTime = double;

TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
TDateTime ToDateTime(const platform::LocalTime& t);
platform::LocalTime DecodeDateTime(TDateTime value);
// The calendar date alone (whole days).
TDateTime DateOf(TDateTime value);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime value);

// Local date and time from the platform clock.
TDateTime Now();
TDateTime Date();

}  // namespace base
