#pragma once
// "/STATUS" and "/HELP" as the executable runs them: the text goes to the
// console the program was started from, or into a dialog without one.
#include <string>

namespace backup {

class TTavSrvBackup;

// The console (UTF-8 when redirected) or, with no console, an information dialog.
void ShowToAdministrator(const std::wstring& text);

// Each returns the process's exit code.
int RunStatusCommand(TTavSrvBackup& module);
int RunHelpCommand();

}  // namespace backup
