#include "backup/backup_paths.h"

#include "base/paths.h"

namespace backup {

std::wstring BackupProgramPath() { return base::ExecutableDirectory() + L"backup_vostrani.exe"; }

std::wstring RunLogPath() { return base::ExecutableDirectory() + L"LOGSrvBackup.ini"; }

std::wstring CompanyIniPath() { return base::ExecutableDirectory() + L"backup.ini"; }

}  // namespace backup
