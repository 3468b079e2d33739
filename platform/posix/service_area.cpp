#include "platform/posix/backend.h"
#include "platform/posix/service_services.h"
#include "platform/sim/event_log.h"
#include "platform/sim/service_control.h"
#include "platform/sim/service_database.h"

namespace platform::posix {

// No control manager, service database or event log exists here: in-process stand-ins take
// their place, and a process nobody started as a service gets 1063.
void install_service_area(Host& host) {
  static SimulatedServiceControl service_control;
  static RecordedEventLog event_log;
  static StderrDialogs dialogs;
  static SimulatedServiceDatabase service_database;
  host.service_control = &service_control;
  host.event_log = &event_log;
  host.dialogs = &dialogs;
  static StdoutConsole console;
  host.console = &console;
  host.service_database = &service_database;
}

}  // namespace platform::posix
