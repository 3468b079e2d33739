#include "backup/status_command.h"

#include "backup/USrvBackup.h"
#include "backup/status_report.h"
#include "backup/status_text.h"
#include "platform/console.h"
#include "platform/dialogs.h"
#include "platform/host.h"

namespace backup {

void ShowToAdministrator(const std::wstring& text) {
  if (platform::host().console->write_text(text)) return;
  platform::host().dialogs->show_message(kServiceDisplayName, text, platform::DialogIcon::Information);
}

int RunStatusCommand(TTavSrvBackup& module) {
  const StatusFacts facts = GatherStatus(module);
  ShowToAdministrator(RenderStatus(facts));
  return StatusExitCode(facts);
}

int RunHelpCommand() {
  ShowToAdministrator(HelpText());
  return 0;
}

}  // namespace backup
