#pragma once
#include <string>

namespace backup {

// Files of the service, all beside its executable.
std::wstring BackupProgramPath();
std::wstring RunLogPath();
std::wstring CompanyIniPath();

}  // namespace backup
