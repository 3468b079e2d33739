#include "platform/win32/backend.h"
#include "platform/win32/base_services.h"

namespace platform::win32 {

void install_base_area(Host& host) {
  static Win32RegistryKeys registry_keys;
  static Win32Profile profile;
  static Win32Shell shell;
  static Win32Files files;
  static Win32FileAccess file_access;
  static Win32ProcessInfo process;
  static Win32Threads threads;
  static Win32Clock clock;
  static Win32Locale locale;
  static Win32SystemErrors errors;
  host.registry_keys = &registry_keys;
  host.profile = &profile;
  host.shell = &shell;
  host.files = &files;
  host.file_access = &file_access;
  host.process = &process;
  host.threads = &threads;
  host.clock = &clock;
  host.locale = &locale;
  host.system_errors = &errors;
}

}  // namespace platform::win32
