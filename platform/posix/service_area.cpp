#include "platform/posix/backend.h"

namespace platform::posix {

// Filled as the service host's platform parts arrive.
void install_service_area(Host&) {}

}  // namespace platform::posix
