#pragma once
// The posix backend: real where Linux has an equivalent, an in-process
// stand-in where it has none. Each area installs its own members.
#include <cstdint>

#include "platform/host.h"

namespace platform::posix {

void install_base_area(Host& host);     // registry, files, INI, shell, threads, clock, locale, errors
void install_service_area(Host& host);  // control manager, event log, dialogs
void install_web_area(Host& host);      // HTTP, XML parser, connectivity

inline constexpr uint32_t kNotEnoughMemory = 8;  // the platform's code

// The platform's error code for an errno value.
uint32_t errno_to_win32(int error);

}  // namespace platform::posix
