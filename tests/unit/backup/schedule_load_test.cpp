#include <gtest/gtest.h>

#include <functional>

#include "backup/schedule.h"
#include "platform/host.h"
#include "platform/sim/registry_keys.h"
#include "support/failure.h"

using namespace backup;
using platform::reg_dword;
using platform::reg_string;

namespace {

const std::wstring kMain = L"Software\\Tav7Backup";
const std::wstring kHours = L"Software\\Tav7Backup\\Horarios";
// The registry value names as the configuration tools write them, Sunday
// first; spelt out here, not taken from the code under test.
const wchar_t* const kWeekdayValues[9] = {nullptr,      L"Domingo", L"Segunda",      L"Ter\u00E7a", L"Quarta",
                                          L"Quinta",    L"Sexta",   L"S\u00E1bado", L"Todo Dia"};

class ScheduleLoad : public testing::Test {
 protected:
  platform::MemoryRegistryKeys registry;
  platform::ScopedOverride<platform::RegistryKeys> use{&platform::Host::registry_keys, &registry};

  void SetUp() override {
    ServiceEnabled = false;
    HourSlots = {};
  }
  void Weekdays(std::initializer_list<int> trueOnes) {
    for (int i = 1; i <= 8; ++i) registry.set(kMain, kWeekdayValues[i], reg_dword(0));
    for (int i : trueOnes) registry.set(kMain, kWeekdayValues[i], reg_dword(1));
  }
  void Hours(std::initializer_list<int> enabled) {
    wchar_t name[8];
    for (int h = 0; h < 24; ++h) {
      std::swprintf(name, 8, L"%02d:00", h);
      registry.set(kHours, name, reg_dword(0));
    }
    for (int h : enabled) {
      std::swprintf(name, 8, L"%02d:00", h);
      registry.set(kHours, name, reg_dword(1));
    }
  }
  static std::wstring LoadFailure() { return testing_support::FailureMessage(LoadSchedule); }
};

}  // namespace

TEST_F(ScheduleLoad, SwitchIsOnOnlyForExactlyS) {
  struct Case { std::optional<std::wstring> value; bool enabled; } cases[] = {
      {L"S", true}, {L"s", false}, {L"S ", false}, {L"", false}, {std::nullopt, false}, {L"N", false},
  };
  for (const auto& c : cases) {
    registry.clear();
    Weekdays({});
    if (c.value) registry.set(kMain, L"SERVICO", reg_string(*c.value));
    ServiceEnabled = !c.enabled;
    LoadSchedule();
    EXPECT_EQ(ServiceEnabled, c.enabled) << (c.value ? std::string(c.value->begin(), c.value->end()) : "missing");
  }
}

TEST_F(ScheduleLoad, AnyTrueWeekdayLoadsEveryHour) {
  registry.set(kMain, L"SERVICO", reg_string(L"S"));
  Weekdays({1});  // Domingo only
  Hours({0, 14, 23});
  LoadSchedule();
  EXPECT_TRUE(ServiceEnabled);
  for (int h = 0; h < 24; ++h) {
    EXPECT_EQ(HourSlots[h].Hour, h);
    EXPECT_EQ(HourSlots[h].Enabled, h == 0 || h == 14 || h == 23) << h;
  }
}

TEST_F(ScheduleLoad, AllWeekdaysFalseLeavesHoursAloneAndDoesNotCreateTheKey) {
  registry.set(kMain, L"SERVICO", reg_string(L"S"));
  Weekdays({});
  HourSlots[5].Enabled = true;  // from an earlier start
  LoadSchedule();
  EXPECT_TRUE(ServiceEnabled);
  EXPECT_TRUE(HourSlots[5].Enabled);
  EXPECT_FALSE(registry.key_exists(kHours));
}

TEST_F(ScheduleLoad, MissingMainKeyKeepsEverything) {
  ServiceEnabled = true;
  HourSlots[3].Enabled = true;
  EXPECT_EQ(LoadFailure(), L"");
  EXPECT_TRUE(ServiceEnabled);
  EXPECT_TRUE(HourSlots[3].Enabled);
}

TEST_F(ScheduleLoad, LoadKeepsLastRunDatesButClearsRan) {
  registry.set(kMain, L"SERVICO", reg_string(L"S"));
  Weekdays({8});
  Hours({14});
  HourSlots[14].LastRunDate = 42454;
  HourSlots[14].Ran = true;
  LoadSchedule();
  EXPECT_EQ(HourSlots[14].LastRunDate, 42454);
  EXPECT_FALSE(HourSlots[14].Ran);
}

TEST_F(ScheduleLoad, BadValuesFailNamingTheValue) {
  struct Case {
    const char* what;
    std::function<void(platform::MemoryRegistryKeys&)> arrange;
    std::wstring message;
  } cases[] = {
      {"weekday missing", [](platform::MemoryRegistryKeys& r) { r.remove_value(kMain, L"Domingo"); },
       L"Failed to get data for 'Domingo'"},
      {"accented weekday of wrong type",
       [](platform::MemoryRegistryKeys& r) { r.set(kMain, L"Ter\u00E7a", reg_string(L"1")); },
       L"Invalid data type for 'Ter\u00E7a'"},
      {"one-digit hour name",
       [](platform::MemoryRegistryKeys& r) {
         r.remove_value(kHours, L"07:00");
         r.set(kHours, L"7:00", reg_dword(1));
       },
       L"Failed to get data for '07:00'"},
      {"switch of wrong type", [](platform::MemoryRegistryKeys& r) { r.set(kMain, L"SERVICO", reg_dword(1)); },
       L"Invalid data type for 'SERVICO'"},
      {"catch-up of wrong type",
       [](platform::MemoryRegistryKeys& r) { r.set(kMain, L"RecuperarPerdidos", reg_string(L"1")); },
       L"Invalid data type for 'RecuperarPerdidos'"},
  };
  for (const auto& c : cases) {
    registry.clear();
    registry.set(kMain, L"SERVICO", reg_string(L"S"));
    Weekdays({1});
    Hours({});
    c.arrange(registry);
    EXPECT_EQ(LoadFailure(), c.message) << c.what;
  }
}

TEST_F(ScheduleLoad, CatchUpIsOnOnlyForANonZeroValueAndOptional) {
  struct Case { const char* what; std::optional<uint32_t> value; bool on; } cases[] = {
      {"missing", std::nullopt, false}, {"0", 0, false}, {"1", 1, true}, {"7", 7, true},
  };
  for (const auto& c : cases) {
    registry.clear();
    registry.set(kMain, L"SERVICO", reg_string(L"S"));
    Weekdays({8});
    Hours({9});
    if (c.value) registry.set(kMain, L"RecuperarPerdidos", reg_dword(*c.value));
    CatchUpMissed = !c.on;
    EXPECT_EQ(LoadFailure(), L"") << c.what;
    EXPECT_EQ(CatchUpMissed, c.on) << c.what;
    EXPECT_TRUE(HourSlots[9].Enabled) << c.what;
  }
  // A later start that finds no key keeps it, as it keeps the rest.
  registry.clear();
  CatchUpMissed = true;
  LoadSchedule();
  EXPECT_TRUE(CatchUpMissed);
  CatchUpMissed = false;
}

TEST_F(ScheduleLoad, HoursKeyThatCannotBeCreatedSendsReadsToTheMainKey) {
  registry.set(kMain, L"SERVICO", reg_string(L"S"));
  Weekdays({2});
  registry.faults.Fail("create_key", 1, 5, platform::FaultPlan::Repeat::FromThenOn);
  EXPECT_EQ(LoadFailure(), L"Failed to get data for '00:00'");
}
