#pragma once
// The posix backend: real where Linux has an equivalent, an in-process
// stand-in where it has none. Each area installs its own members.
#include <cstdint>

#include "platform/host.h"

namespace platform::posix {

// registry, INI, shell, files, file access, process, threads, clock, locale, error texts
void install_base_area(Host& host);
// control manager, service database, event log, dialogs, console
void install_service_area(Host& host);
// HTTP, XML parser, connectivity
void install_web_area(Host& host);

inline constexpr uint32_t kNotEnoughMemory = 8;  // the platform's code

// The platform's error code for an errno value.
uint32_t errno_to_win32(int error);

}  // namespace platform::posix
