#pragma once
// The win32 backend: the real Windows API. Each area installs its own members.
#include <string>

#include "platform/host.h"

namespace platform::win32 {

// registry, INI, shell, files, file access, process, threads, clock, locale, error texts
void install_base_area(Host& host);
// control manager, service database, event log, dialogs, console
void install_service_area(Host& host);
// HTTP, XML parser, connectivity
void install_web_area(Host& host);

}  // namespace platform::win32
