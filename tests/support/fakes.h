#pragma once
// Fakes for the platform seam, for cases the real platform cannot produce
// on demand: a chosen local time, a chosen locale, a launch that is only
// recorded, sleeps that return at once.
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/host.h"
#include "platform/locale.h"
#include "platform/process_info.h"
#include "platform/shell.h"
#include "platform/sim/fault_plan.h"

namespace testing_support {

class FixedClock : public platform::Clock {
 public:
  platform::LocalTime now{2026, 3, 25, 14, 0, 0, 0};
  platform::LocalTime local_now() override {
    std::lock_guard lock(mutex_);
    return now;
  }
  // Real monotonic time, so timers run as usual under a fixed local time.
  uint64_t monotonic_ms() override {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
  }
  void set(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi, uint16_t s = 0) {
    std::lock_guard lock(mutex_);
    now = {y, mo, d, h, mi, s, 0};
  }

 private:
  std::mutex mutex_;
};

class FixedLocale : public platform::Locale {
 public:
  std::vector<std::wstring> days;  // Sunday first
  wchar_t date_sep = L'/', time_sep = L':', decimal_sep = L',';

  static FixedLocale BrazilianPortuguese() {
    FixedLocale l;
    l.days = {L"dom", L"seg", L"ter", L"qua", L"qui", L"sex", L"s\u00E1b"};
    return l;
  }
  static FixedLocale English() {
    FixedLocale l;
    l.days = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
    l.decimal_sep = L'.';
    return l;
  }
  std::wstring short_day_name(int weekday) override { return days.at(weekday - 1); }
  wchar_t date_separator() override { return date_sep; }
  wchar_t time_separator() override { return time_sep; }
  wchar_t decimal_separator() override { return decimal_sep; }
};

struct ShellCall {
  std::wstring file, parameters, directory;
};

class RecordingShell : public platform::Shell {
 public:
  std::vector<ShellCall> calls;
  platform::FaultPlan faults{"start_hidden"};
  core::Status start_hidden(const std::wstring& file, const std::wstring& parameters,
                    const std::wstring& directory) override;
};

// The executable appears to live at `exe`; sleeps are recorded, not slept.
class FakeProcess : public platform::ProcessInfo {
 public:
  std::wstring exe;
  std::vector<uint32_t> sleeps;
  std::vector<platform::PriorityClass> classes;
  std::mutex mutex;
  std::wstring executable_path() override { return exe; }
  void set_priority_class(platform::PriorityClass p) override { classes.push_back(p); }
  void sleep_ms(uint32_t ms) override {
    std::lock_guard lock(mutex);
    sleeps.push_back(ms);
  }
};

}  // namespace testing_support
