#include "platform/win32/backend.h"

namespace platform::win32 {

// Filled as the service host's platform parts arrive.
void install_service_area(Host&) {}

}  // namespace platform::win32
