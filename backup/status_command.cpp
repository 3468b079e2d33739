#include "backup/status_command.h"

#include "backup/USrvBackup.h"
#include "backup/status_report.h"
#include "backup/status_text.h"
#include "platform/console.h"
#include "platform/dialogs.h"
#include "platform/host.h"
#include "service/administrator_message.h"
#include "service/service.h"

namespace backup {

void ShowToAdministrator(const std::wstring& text) {
  if (platform::host().console->write_text(text).ok()) return;
  service::TellAdministrator(kServiceDisplayName, text, platform::DialogIcon::Information);
}

// A check that cannot finish says UNKNOWN, never a code monitoring reads
// as a verdict on the service.
int RunStatusCommand(TTavSrvBackup& module) {
  try {
    const StatusReportFacts facts = GatherStatus(module);
    ShowToAdministrator(RenderStatus(facts));
    return StatusExitCode(facts);
  } catch (...) {
    ShowToAdministrator(L"The status could not be gathered: " + service::CurrentExceptionMessage() + L"\n");
    return kStatusUnknown;
  }
}

int RunHelpCommand() {
  ShowToAdministrator(HelpText());
  return 0;
}

}  // namespace backup
