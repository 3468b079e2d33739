#pragma once
#include <string>

namespace backup {

// Starts the backup program hidden with the given parameters when it exists
// as a file; returns false when it is missing. Start failures raise.
bool StartBackupProgram(const std::wstring& parameters);

}  // namespace backup
