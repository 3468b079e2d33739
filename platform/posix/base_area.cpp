#include "platform/sim/registry_keys.h"
#include "platform/posix/backend.h"
#include "platform/posix/base_services.h"

namespace platform::posix {

void install_base_area(Host& host) {
  static MemoryRegistryKeys registry_keys;
  static PosixProfile profile;
  static PosixShell shell;
  static PosixFiles files;
  static PosixFileAccess file_access;
  static PosixProcessInfo process;
  static PosixThreads threads;
  static PosixClock clock;
  static PosixLocale locale;
  static PosixSystemErrors errors;
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

}  // namespace platform::posix
