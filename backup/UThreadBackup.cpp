#include "backup/UThreadBackup.h"

#include "backup/backup_paths.h"
#include "backup/backup_program.h"
#include "backup/run_log.h"
#include "backup/stored_names.h"
#include "backup/worker_pause.h"
#include "core/exceptions.h"
#include "base/ini_file.h"
#include "platform/host.h"
#include "platform/process_info.h"

namespace backup {

void TThreadBackup::Execute() {
  NameThreadForDebugging("TThreadBackup");
  base::TIniFile log(RunLogPath());
  try {
    log.WriteString(kRunLogSection, kRunLogExecuted, RunLogTimestamp(base::Now()));
    if (!StartBackupProgram(L"ok SERVICO"))
      log.WriteString(kRunLogSection, kRunLogError, L"Arquivo n\u00E3o localizado: " + BackupProgramPath());
  } catch (const std::exception& failure) {
    // A second failure here ends the body; the thread swallows it.
    log.WriteString(kRunLogSection, kRunLogError, core::ExceptionMessage(failure));
    return;
  }
  platform::host().process->sleep_ms(kWorkerPauseMs);
}

}  // namespace backup
