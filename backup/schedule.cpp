#include "backup/schedule.h"

#include <cwchar>

#include "backup/stored_names.h"
#include "base/registry_accessor.h"
#include "core/thread_checker.h"
#include "core/text.h"
#include "platform/host.h"
#include "platform/locale.h"

namespace backup {

bool ServiceEnabled = false;
std::array<THourSlot, 24> HourSlots{};
bool CatchUpMissed = false;
base::TDateTime LastScheduledLaunch = 0;
const std::array<std::wstring, 9> DayNames = {
    L"",       L"Domingo", L"Segunda", L"Ter\u00E7a",   L"Quarta",
    L"Quinta", L"Sexta",   L"S\u00E1bado", L"Todo Dia"};

namespace {

core::ThreadChecker schedule_owner;

constexpr wchar_t kEveryDay[] = L"Todo Dia";
constexpr wchar_t kCatchUp[] = L"RecuperarPerdidos";

void LoadHours(base::RegistryAccessor& accessor, ScheduleReading& load, ScheduleAccess access) {
  // Outcome ignored: reads then hit the main key.
  accessor.OpenKey(L"\\" + HoursKey(), access == ScheduleAccess::Service);
  for (int h = 0; h < 24; ++h) {
    load.slots[h].Hour = h;
    load.slots[h].Enabled = accessor.ReadBool(HourValueName(h));
    load.slots[h].Ran = false;
  }
}

// A string value as stored, or none when it is missing; the reading rules
// (and their failures) stay those of ReadString.
std::optional<std::wstring> StoredString(base::RegistryAccessor& accessor, const std::wstring& name) {
  std::wstring text = accessor.ReadString(name);
  if (text.empty() && !accessor.ValueExists(name)) return std::nullopt;
  return text;
}

std::wstring FirstThreeUpper(const std::wstring& text) { return core::UpperCaseAscii(text.substr(0, 3)); }

bool EntryApplies(int entry, const std::wstring& todayName) {
  return DayNames[entry] == kEveryDay || FirstThreeUpper(DayNames[entry]) == todayName;
}

// Launches the first due slot, if any, for one applying entry.
void RunFirstDueSlot(const ScheduleTickHooks& hooks, base::TDateTime now) {
  const int hour = base::DecodeDateTime(now).hour;
  const base::TDateTime today = base::DateOf(now);
  for (THourSlot& slot : HourSlots) {
    if (!slot.Enabled || slot.Hour != hour || today == slot.LastRunDate) continue;
    hooks.set_timer_enabled(false);
    LastScheduledLaunch = now;
    slot.Ran = hooks.run_scheduled_backup();
    // The date the launch started on: a launch that ends after midnight
    // must not cost that hour its run on the next day.
    slot.LastRunDate = today;
    hooks.set_timer_enabled(true);
    return;
  }
}

// Launches the run a missed hour is owed and marks that hour as run on its
// date, so a clock set back into it does not launch it again.
void CatchUpMissedRun(const ScheduleTickHooks& hooks) {
  const base::TDateTime now = base::Now();
  std::array<bool, 24> hours{};
  for (int h = 0; h < 24; ++h) hours[h] = HourSlots[h].Enabled;
  const std::optional<base::TDateTime> missed = MissedHour(hours, now, LastScheduledLaunch);
  if (!missed) return;
  THourSlot& slot = HourSlots[base::DecodeDateTime(*missed).hour];
  // Launched on that date already, before a clock was set back.
  if (slot.LastRunDate == base::DateOf(*missed)) return;
  hooks.set_timer_enabled(false);
  LastScheduledLaunch = now;
  slot.Ran = hooks.run_scheduled_backup();
  slot.LastRunDate = base::DateOf(*missed);
  hooks.set_timer_enabled(true);
}

}  // namespace

std::optional<base::TDateTime> MissedHour(const std::array<bool, 24>& hours, base::TDateTime now,
                                          base::TDateTime lastLaunch) {
  const int hour = base::DecodeDateTime(now).hour;
  if (hours[hour]) return std::nullopt;
  const base::TDateTime today = base::DateOf(now);
  for (int step = 1; step < 24; ++step) {
    const int h = (hour - step + 24) % 24;
    if (!hours[h]) continue;
    const base::TDateTime began = today - (hour - step < 0 ? 1 : 0) + base::EncodeTime(h, 0, 0, 0);
    if (lastLaunch >= began) return std::nullopt;
    return began;
  }
  return std::nullopt;
}

std::wstring HourValueName(int hour) {
  wchar_t name[8];
  std::swprintf(name, 8, L"%02d:00", hour);
  return name;
}

void ClaimScheduleForThisThread() { schedule_owner.Claim(); }
void ReleaseSchedule() { schedule_owner.Release(); }

void LoadSchedule() {
  schedule_owner.Check("LoadSchedule");
  ScheduleReading load{ServiceEnabled, HourSlots};
  ReadSchedule(load, ScheduleAccess::Service);
  if (load.key_found) CatchUpMissed = load.catch_up;
}

void ReadSchedule(ScheduleReading& load, ScheduleAccess access) {
  base::RegistryAccessor accessor(access == ScheduleAccess::Service ? platform::kKeyAllAccess
                                                                    : platform::kKeyRead);
  if (!accessor.OpenKey(L"\\" + std::wstring(kSettingsKey), false)) return;
  load.key_found = true;
  load.switch_value = StoredString(accessor, L"SERVICO");
  load.enabled = load.switch_value == L"S";
  for (int i = 1; i <= 8; ++i)
    if (accessor.ReadBool(DayNames[i])) load.any_day = true;
  // Optional, unlike its neighbours; read before the hours move the
  // accessor to their key.
  load.catch_up = accessor.ValueExists(kCatchUp) && accessor.ReadBool(kCatchUp);
  if (load.any_day) LoadHours(accessor, load, access);
  accessor.CloseKey();
}

void ScheduleTick(const ScheduleTickHooks& hooks) {
  schedule_owner.Check("ScheduleTick");
  for (int i = 1; i <= 8; ++i) {
    // Read per entry: a launch before it may have run past midnight.
    const base::TDateTime now = base::Now();
    const std::wstring todayName = FirstThreeUpper(platform::host().locale->short_day_name(base::DayOfWeek(now)));
    if (EntryApplies(i, todayName)) RunFirstDueSlot(hooks, now);
  }
  if (CatchUpMissed) CatchUpMissedRun(hooks);
}

}  // namespace backup
