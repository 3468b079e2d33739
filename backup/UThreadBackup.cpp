#include "backup/UThreadBackup.h"

#include "backup/backup_paths.h"
#include "backup/backup_program.h"
#include "backup/run_log.h"
#include "core/exceptions.h"
#include "base/ini_file.h"
#include "platform/host.h"
#include "platform/process_info.h"

namespace backup {
namespace {

constexpr wchar_t kSection[] = L"BACKUP";
constexpr uint32_t kSpacingMs = 10000;

}  // namespace

void TThreadBackup::Execute() {
  NameThreadForDebugging("TThreadBackup");
  base::TIniFile log(RunLogPath());
  try {
    log.WriteString(kSection, L"EXECUTADO", RunLogTimestamp(base::Now()));
    if (!StartBackupProgram(L"ok SERVICO"))
      log.WriteString(kSection, L"ERRO", L"Arquivo n\u00E3o localizado: " + BackupProgramPath());
  } catch (const std::exception& failure) {
    // A second failure here ends the body; the thread swallows it.
    log.WriteString(kSection, L"ERRO", core::ExceptionMessage(failure));
    return;
  }
  platform::host().process->sleep_ms(kSpacingMs);
}

}  // namespace backup
