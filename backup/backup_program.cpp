#include "backup/backup_program.h"

#include "backup/backup_paths.h"
#include "base/os_errors.h"
#include "platform/files.h"
#include "platform/host.h"
#include "platform/shell.h"

namespace backup {

bool StartBackupProgram(const std::wstring& parameters) {
  const std::wstring program = BackupProgramPath();
  if (!platform::host().files->is_file(program)) return false;
  // The path goes as the file to start, never inside the parameters, so
  // blanks in it need no quoting.
  base::RaiseOnFailure(platform::host().shell->start_hidden(program, parameters, L""));
  return true;
}

}  // namespace backup
