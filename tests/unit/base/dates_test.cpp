#include <gtest/gtest.h>

#include "base/dates.h"

using namespace base;

TEST(Dates, DayCountsMatchTheCalendar) {
  struct Case { int y, m, d; double days; int weekday; } cases[] = {
      {1899, 12, 30, 0, 7},      {1900, 1, 1, 2, 2},        {2016, 3, 25, 42454, 6},
      {2000, 2, 29, 36585, 3},   {2026, 12, 10, 46366, 5},  {1899, 12, 29, -1, 6},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.days) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(DayOfWeek(c.days), c.weekday) << c.y << "-" << c.m << "-" << c.d;
  }
}

TEST(Dates, DecodeInvertsEncode) {
  const TDateTime value = EncodeDate(2016, 3, 25) + EncodeTime(23, 59, 59, 999);
  const platform::LocalTime t = DecodeDateTime(value);
  EXPECT_EQ(t.year, 2016);
  EXPECT_EQ(t.month, 3);
  EXPECT_EQ(t.day, 25);
  EXPECT_EQ(t.hour, 23);
  EXPECT_EQ(t.minute, 59);
  EXPECT_EQ(t.second, 59);
  EXPECT_EQ(t.millisecond, 999);
  EXPECT_EQ(DateOf(value), EncodeDate(2016, 3, 25));
}
