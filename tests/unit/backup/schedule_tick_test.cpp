#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "backup/schedule.h"
#include "platform/host.h"
#include "support/fakes.h"

using namespace backup;
using testing_support::FixedClock;
using testing_support::FixedLocale;

namespace {

// Hour slots loaded as the registry would leave them; the launch and the
// timer are recorded, the clock and locale are chosen by each test.
class ScheduleTickTest : public testing::Test {
 protected:
  FixedClock clock;
  FixedLocale locale = FixedLocale::BrazilianPortuguese();
  platform::ScopedOverride<platform::Clock> use_clock{&platform::Host::clock, &clock};
  platform::ScopedOverride<platform::Locale> use_locale{&platform::Host::locale, &locale};
  std::vector<std::string> events;
  std::function<void()> during_launch = [] {};

  ScheduleTickHooks hooks{[this] {
                            events.push_back("launch");
                            during_launch();
                            return true;
                          },
                          [this](bool on) { events.push_back(on ? "arm" : "disarm"); }};

  void SetUp() override {
    HourSlots = {};
    for (int h = 0; h < 24; ++h) HourSlots[h].Hour = h;
  }
  void Enable(std::initializer_list<int> hours) {
    for (int h : hours) HourSlots[h].Enabled = true;
  }
  int LaunchesAt(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi) {
    clock.set(y, mo, d, h, mi);
    events.clear();
    ScheduleTick(hooks);
    return static_cast<int>(std::count(events.begin(), events.end(), "launch"));
  }
};

}  // namespace

TEST_F(ScheduleTickTest, EnabledHourLaunchesOncePerDateAroundADisarmedTimer) {
  Enable({14});
  EXPECT_EQ(LaunchesAt(2026, 12, 9, 13, 59), 0);
  EXPECT_EQ(LaunchesAt(2026, 12, 9, 14, 0), 1);  // a Wednesday
  EXPECT_EQ(events, (std::vector<std::string>{"disarm", "launch", "arm"}));
  EXPECT_TRUE(HourSlots[14].Ran);
  EXPECT_EQ(LaunchesAt(2026, 12, 9, 14, 0), 0);
  EXPECT_EQ(LaunchesAt(2026, 12, 9, 14, 59), 0);
  EXPECT_EQ(LaunchesAt(2026, 12, 9, 15, 0), 0);
  EXPECT_EQ(LaunchesAt(2026, 12, 10, 14, 30), 1);  // the next day
}

TEST_F(ScheduleTickTest, StartWithinAnEnabledHourLaunchesAtTheFirstTick) {
  Enable({14});
  EXPECT_EQ(LaunchesAt(2026, 12, 9, 14, 35), 1);
  // A restart of the service is a new process: the table starts over.
  HourSlots[14].LastRunDate = 0;
  EXPECT_EQ(LaunchesAt(2026, 12, 9, 14, 40), 1);
}

TEST_F(ScheduleTickTest, ClockSetBackIntoAnHourAlreadyRunDoesNotRunItAgain) {
  Enable({9, 14});
  EXPECT_EQ(LaunchesAt(2026, 12, 9, 14, 5), 1);
  EXPECT_EQ(LaunchesAt(2026, 12, 9, 9, 10), 1);  // 09 had not run today
  EXPECT_EQ(LaunchesAt(2026, 12, 9, 14, 20), 0);
}

TEST_F(ScheduleTickTest, EveryLocaleRunsEachEnabledHourOnce) {
  struct Case { const char* name; FixedLocale locale; } cases[] = {
      {"pt-BR", FixedLocale::BrazilianPortuguese()}, {"en", FixedLocale::English()}};
  for (auto& c : cases) {
    locale = c.locale;
    SetUp();
    Enable({8});
    for (int day = 6; day <= 12; ++day)  // every weekday, Sunday to Saturday
      EXPECT_EQ(LaunchesAt(2026, 12, static_cast<uint16_t>(day), 8, 0), 1) << c.name << " day " << day;
  }
}

TEST_F(ScheduleTickTest, DisabledSlotsAndAnUnloadedTableNeverLaunch) {
  EXPECT_EQ(LaunchesAt(2026, 12, 9, 14, 0), 0);
  EXPECT_TRUE(events.empty());
}

TEST_F(ScheduleTickTest, LaunchEndingAfterMidnightStampsTheDateItStartedOn) {
  Enable({0, 23});
  during_launch = [this] { clock.set(2026, 12, 10, 0, 0, 5); };
  EXPECT_EQ(LaunchesAt(2026, 12, 9, 23, 59), 2);  // 23 on the 9th, then 00 is due on the 10th
  EXPECT_EQ(HourSlots[23].LastRunDate, base::EncodeDate(2026, 12, 9));
  during_launch = [] {};
  EXPECT_EQ(LaunchesAt(2026, 12, 10, 23, 0), 1);  // the later date still gets its 23:00 run
}

#if GTEST_HAS_DEATH_TEST && !defined(NDEBUG)
TEST(ScheduleThreadDeathTest, TickOffTheThreadThatClaimedTheScheduleAborts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  HourSlots = {};
  std::thread(ClaimScheduleForThisThread).join();
  EXPECT_DEATH(ScheduleTick({[] { return false; }, [](bool) {}}), "ScheduleTick touched off its owning thread");
  ReleaseSchedule();
  ScheduleTick({[] { return false; }, [](bool) {}});  // released: any thread again
}
#endif

namespace {

struct At {
  uint16_t day, hour, minute, second = 0;
};
struct CatchUpCase {
  const char* name;
  std::vector<int> hours;
  base::TDateTime recorded;  // the latest launch known at start; 0 for none
  std::vector<At> ticks;     // December 2026
  std::vector<int> on, off;  // launches per tick with the option on and off
};

}  // namespace

// The option changes nothing else: with it off every case keeps the
// launches of the written rule, tick for tick.
TEST_F(ScheduleTickTest, MissedHourIsMadeUpOnceAndOnlyWithTheOption) {
  const base::TDateTime yesterday9 = base::EncodeDate(2026, 12, 10) + base::EncodeTime(9, 0, 7, 0);
  const CatchUpCase cases[] = {
      {"off over the hour, then started", {9}, yesterday9, {{11, 10, 20}, {11, 10, 20, 10}, {11, 10, 59}, {11, 11, 30}},
       {1, 0, 0, 0}, {0, 0, 0, 0}},
      {"nothing recorded", {9}, 0, {{11, 10, 20}, {11, 10, 20, 10}}, {1, 0}, {0, 0}},
      {"started within an enabled hour", {9, 10}, yesterday9, {{11, 10, 20}, {11, 10, 40}, {11, 11, 5}},
       {1, 0, 0}, {1, 0, 0}},
      {"asleep across the hour", {9}, yesterday9, {{11, 8, 50}, {11, 8, 50, 10}, {11, 10, 20}, {11, 10, 20, 10}},
       {0, 0, 1, 0}, {0, 0, 0, 0}},
      {"two missed hours", {8, 9}, base::EncodeDate(2026, 12, 10) + base::EncodeTime(8, 0, 5, 0),
       {{11, 10, 20}, {11, 10, 30}, {11, 12, 0}}, {1, 0, 0}, {0, 0, 0}},
      {"a launch recorded after the hour", {9}, base::EncodeDate(2026, 12, 11) + base::EncodeTime(9, 0, 7, 0),
       {{11, 10, 20}}, {0}, {0}},
      {"clock set back into a caught-up hour", {9}, yesterday9,
       {{11, 10, 20}, {11, 9, 30}, {11, 10, 20, 10}, {11, 8, 30}}, {1, 0, 0, 0}, {0, 1, 0, 0}},
      {"clock set back to a launch before a caught-up hour", {8, 9}, yesterday9,
       {{11, 10, 20}, {11, 8, 30}, {11, 10, 20, 10}}, {1, 1, 0}, {0, 1, 0}},
      {"missed before midnight", {23}, base::EncodeDate(2026, 12, 9) + base::EncodeTime(23, 0, 5, 0),
       {{11, 0, 30}, {11, 22, 59}, {11, 23, 0}}, {1, 0, 1}, {0, 0, 1}},
  };
  for (const CatchUpCase& c : cases) {
    for (const bool option : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (option ? ", on" : ", off"));
      SetUp();
      for (int h : c.hours) HourSlots[h].Enabled = true;
      CatchUpMissed = option;
      LastScheduledLaunch = c.recorded;
      std::vector<int> launches;
      for (const At& t : c.ticks) {
        clock.set(2026, 12, t.day, t.hour, t.minute, t.second);
        events.clear();
        ScheduleTick(hooks);
        launches.push_back(static_cast<int>(std::count(events.begin(), events.end(), "launch")));
        if (launches.back() == 1) {
          EXPECT_EQ(events, (std::vector<std::string>{"disarm", "launch", "arm"}));
        }
      }
      EXPECT_EQ(launches, option ? c.on : c.off);
    }
  }
  CatchUpMissed = false;
  LastScheduledLaunch = 0;
}

TEST_F(ScheduleTickTest, CatchUpMarksTheMadeUpHourOnItsOwnDate) {
  Enable({8, 9, 23});
  CatchUpMissed = true;
  LastScheduledLaunch = 0;
  EXPECT_EQ(LaunchesAt(2026, 12, 11, 10, 20), 1);
  EXPECT_EQ(HourSlots[9].LastRunDate, base::EncodeDate(2026, 12, 11));
  EXPECT_TRUE(HourSlots[9].Ran);
  EXPECT_EQ(HourSlots[8].LastRunDate, 0);  // the older missed hour is not run
  EXPECT_EQ(LastScheduledLaunch, base::EncodeDate(2026, 12, 11) + base::EncodeTime(10, 20, 0, 0));
  SetUp();
  Enable({23});
  LastScheduledLaunch = 0;
  EXPECT_EQ(LaunchesAt(2026, 12, 11, 0, 30), 1);
  EXPECT_EQ(HourSlots[23].LastRunDate, base::EncodeDate(2026, 12, 10));
  CatchUpMissed = false;
  LastScheduledLaunch = 0;
}

TEST(MissedHour, TheLatestEnabledHourBeforeThisOneWithoutALaunchSince) {
  const base::TDateTime day = base::EncodeDate(2026, 12, 11);
  auto hours = [](std::initializer_list<int> on) {
    std::array<bool, 24> h{};
    for (int i : on) h[i] = true;
    return h;
  };
  auto at = [&](int h, int m) { return day + base::EncodeTime(h, m, 0, 0); };
  struct {
    const char* name;
    std::array<bool, 24> hours;
    base::TDateTime now, last;
    std::optional<base::TDateTime> missed;
  } cases[] = {
      {"none enabled", hours({}), at(10, 0), 0, std::nullopt},
      {"this hour enabled", hours({9, 10}), at(10, 30), 0, std::nullopt},
      {"earlier today", hours({3, 9}), at(10, 30), 0, at(9, 0)},
      {"yesterday", hours({22}), at(10, 30), 0, day - 1 + base::EncodeTime(22, 0, 0, 0)},
      {"a launch exactly as it began", hours({9}), at(10, 30), at(9, 0), std::nullopt},
      {"a launch just before it began", hours({9}), at(10, 30), at(9, 0) - base::EncodeTime(0, 0, 1, 0), at(9, 0)},
      {"the only hour is this one, run yesterday", hours({10}), at(10, 30), day - 1 + base::EncodeTime(10, 0, 0, 0),
       std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(MissedHour(c.hours, c.now, c.last), c.missed) << c.name;
}
