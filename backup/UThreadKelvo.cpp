#include "backup/UThreadKelvo.h"

#include "backup/backup_program.h"
#include "backup/backup_paths.h"
#include "backup/worker_pause.h"
#include "platform/host.h"
#include "platform/process_info.h"

namespace backup {

void TThreadKelvo::Execute() {
  NameThreadForDebugging("TThreadKelvo");
  try {
    StartBackupProgram(L"ok SERVICO KELVO");
    platform::host().process->sleep_ms(kWorkerPauseMs);
  } catch (...) {
    // A requested run that fails leaves no trace, by design.
  }
}

}  // namespace backup
