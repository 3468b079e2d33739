#include "backup/UThreadKelvo.h"

#include "backup/backup_program.h"
#include "platform/host.h"
#include "platform/process_info.h"

namespace backup {

void TThreadKelvo::Execute() {
  NameThreadForDebugging("TThreadKelvo");
  try {
    StartBackupProgram(L"ok SERVICO KELVO");
    platform::host().process->sleep_ms(10000);
  } catch (...) {
    // A requested run that fails leaves no trace, by design.
  }
}

}  // namespace backup
