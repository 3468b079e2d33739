#pragma once
#include <optional>
#include <string>

#include "base/dates.h"

namespace backup {

// Files of the service, all beside its executable.
std::wstring BackupProgramPath();
std::wstring RunLogPath();
std::wstring CompanyIniPath();

// "DD/MM/YYYY HH:MM:SS" with the locale's date and time separators.
std::wstring RunLogTimestamp(base::TDateTime when);

// The reverse of RunLogTimestamp; none for any text it could not have
// written (missing, empty, edited by hand).
std::optional<base::TDateTime> ParseRunLogTimestamp(const std::wstring& text);
// The latest scheduled launch the run log records ("EXECUTADO"), if readable.
std::optional<base::TDateTime> RecordedLaunch();

// Starts the backup program hidden with the given parameters when it exists
// as a file; returns false when it is missing. Start failures raise.
bool StartBackupProgram(const std::wstring& parameters);

}  // namespace backup
