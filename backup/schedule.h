#pragma once
// Threads: the schedule state below is process-wide and has no lock. Load
// and tick run on the service thread once the service has started (before
// that, on the thread that starts it); nothing else may touch the state.
// Debug builds abort when another thread loads or ticks while it is claimed.
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "base/dates.h"

namespace backup {

struct THourSlot {
  double Hour = 0;
  bool Ran = false;  // outcome of the slot's latest launch; nothing reads it
  bool Enabled = false;
  base::TDateTime LastRunDate = 0;  // never today at process start
};

// Process-wide; touched only on the service thread once the service runs.
extern bool ServiceEnabled;
extern std::array<THourSlot, 24> HourSlots;
// "RecuperarPerdidos": make up one scheduled run missed while the machine
// was off or asleep. Off unless a load finds it non-zero.
extern bool CatchUpMissed;
// When the latest scheduled launch began, as far as the service knows: the
// run log's at start, then this process's own; 0 for none.
extern base::TDateTime LastScheduledLaunch;
// The service claims the state for its thread as it starts; its module
// releases it as it goes.
void ClaimScheduleForThisThread();
void ReleaseSchedule();
// Indexed 1 to 8; element 0 is unused.
extern const std::array<std::wstring, 9> DayNames;

// The registry value of an hour: "00:00" .. "23:00".
std::wstring HourValueName(int hour);

// Reads the switch and, when any weekday value is set, the hourly slots.
// Raises the registry reading failures unchanged.
void LoadSchedule();

// Where a load puts what it reads, and what it saw on the way.
struct ScheduleReading {
  ScheduleReading(bool& enabled, std::array<THourSlot, 24>& slots) : enabled(enabled), slots(slots) {}
  bool& enabled;
  std::array<THourSlot, 24>& slots;
  bool key_found = false;
  std::optional<std::wstring> switch_value;  // "SERVICO" as stored; none when missing
  bool any_day = false;
  bool catch_up = false;  // "RecuperarPerdidos" non-zero
};

// Who loads: the service, with full access, creating the "Horarios" key
// when missing; or someone who only looks, which creates nothing.
enum class ScheduleAccess { Service, LookOnly };

// The load itself, into `load`; LoadSchedule is this for the service.
void ReadSchedule(ScheduleReading& load, ScheduleAccess access);

// What the tick needs from its module: the launch (true when the worker ran
// to its end; blocks until then) and the timer it disarms around it.
struct ScheduleTickHooks {
  std::function<bool()> run_scheduled_backup;
  std::function<void(bool)> set_timer_enabled;
};

// One 10-second tick: launches the first due enabled slot of the current
// hour not yet run on today's date; then, with CatchUpMissed, the run a
// missed hour is owed.
void ScheduleTick(const ScheduleTickHooks& hooks);

// The start of the hour a catch-up makes up at `now`: the latest enabled
// hour before this one when this hour is not enabled and no launch began
// since that hour did. None otherwise: an enabled current hour has its own
// launch, and one run makes up any number of missed hours.
std::optional<base::TDateTime> MissedHour(const std::array<bool, 24>& hours, base::TDateTime now,
                                          base::TDateTime lastLaunch);

}  // namespace backup
