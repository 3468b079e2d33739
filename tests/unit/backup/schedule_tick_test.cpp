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
