#include "platform/win32/backend.h"
#include "platform/win32/service_services.h"

namespace platform::win32 {

void install_service_area(Host& host) {
  static Win32ServiceControl service_control;
  static Win32EventLog event_log;
  static Win32Dialogs dialogs;
  static Win32ServiceDatabase service_database;
  host.service_control = &service_control;
  host.event_log = &event_log;
  host.dialogs = &dialogs;
  static Win32Console console;
  host.console = &console;
  host.service_database = &service_database;
}

}  // namespace platform::win32
