#pragma once
// The win32 backend: the real Windows API. Each area installs its own members.
#include <string>

#include "platform/host.h"

namespace platform::win32 {

void install_base_area(Host& host);     // registry, files, INI, shell, threads, clock, locale, errors
void install_service_area(Host& host);  // control manager, event log, dialogs
void install_web_area(Host& host);      // HTTP, XML parser, connectivity

}  // namespace platform::win32
