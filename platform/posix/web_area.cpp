#include "platform/posix/backend.h"

namespace platform::posix {

// Filled as the web client's platform parts arrive.
void install_web_area(Host&) {}

}  // namespace platform::posix
