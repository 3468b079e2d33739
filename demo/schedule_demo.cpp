// Loads the schedule from the registry, runs one schedule tick at the
// current local time and launches any due hour through the scheduled
// worker, printing each step and the run log afterwards.
#include <cstdio>
#include <string>

#include "backup/UThreadBackup.h"
#include "backup/backup_paths.h"
#include "backup/run_log.h"
#include "backup/schedule.h"
#include "base/dates.h"
#include "core/exceptions.h"
#include "base/ini_file.h"
#include "core/utf.h"
#include "platform/host.h"

namespace {

void Say(const std::wstring& text) {
  std::printf("%s\n", core::ToUtf8(text).c_str());
  std::fflush(stdout);
}

bool RunWorker() {
  if (!backup::ServiceEnabled) return false;
  Say(L"  launching " + backup::BackupProgramPath() + L" with \"ok SERVICO\" (the worker then waits 10 s)");
  backup::TThreadBackup worker(true);
  worker.Start();
  worker.WaitFor();
  return worker.FatalException() == nullptr;
}

void ShowRunLog() {
  base::TIniFile log(backup::RunLogPath());
  Say(L"run log " + backup::RunLogPath() + L":");
  Say(L"  EXECUTADO=" + log.ReadString(L"BACKUP", L"EXECUTADO", L"(none)"));
  Say(L"  ERRO=" + log.ReadString(L"BACKUP", L"ERRO", L"(none)"));
}

}  // namespace

int main() {
  platform::install_default_host();
  try {
    backup::LoadSchedule();
  } catch (const core::Exception& e) {
    Say(L"the schedule does not load: " + e.Message());
    return 1;
  }
  Say(std::wstring(L"service enabled: ") + (backup::ServiceEnabled ? L"yes" : L"no"));
  std::wstring hours;
  for (const auto& slot : backup::HourSlots)
    if (slot.Enabled) hours += L" " + std::to_wstring(static_cast<int>(slot.Hour)) + L":00";
  Say(L"enabled hours:" + (hours.empty() ? std::wstring(L" none") : hours));
  Say(L"tick at " + backup::RunLogTimestamp(base::Now()));
  backup::ScheduleTickHooks hooks{RunWorker, [](bool on) { Say(on ? L"  timer re-armed" : L"  timer disarmed"); }};
  backup::ScheduleTick(hooks);
  Say(L"second tick in the same hour (must launch nothing):");
  backup::ScheduleTick(hooks);
  ShowRunLog();
  return 0;
}
