#pragma once
// The run log (LOGSrvBackup.ini): its time stamps, written and read back.
#include <optional>
#include <string>

#include "base/dates.h"

namespace backup {

// "DD/MM/YYYY HH:MM:SS" with the locale's date and time separators.
std::wstring RunLogTimestamp(base::TDateTime when);

// The reverse of RunLogTimestamp; none for any text it could not have
// written (missing, empty, edited by hand).
std::optional<base::TDateTime> ParseRunLogTimestamp(const std::wstring& text);
// The latest scheduled launch the run log records ("EXECUTADO"), if readable.
std::optional<base::TDateTime> RecordedLaunch();

}  // namespace backup
