// SrvBackupVostrani.exe: the backup service's process. It only wires the
// pieces together.
#include "backup/USrvBackup.h"
#include "backup/status_command.h"
#include "backup/status_report.h"
#include "platform/host.h"
#include "service/installation.h"
#include "service/service_application.h"

int main() {
  platform::install_default_host();
  return service::RunServiceProcess([](service::TServiceApplication& application) {
    backup::TTavSrvBackup* TavSrvBackup = nullptr;
    application.CreateForm(TavSrvBackup);
    TavSrvBackup->DescribeService = &service::SetServiceDescription;
    application.OnStatus = [TavSrvBackup] { return backup::RunStatusCommand(*TavSrvBackup); };
    application.OnHelp = &backup::RunHelpCommand;
    application.InstallWarnings = &backup::AccessWarnings;
  });
}
