#include "platform/win32/backend.h"

namespace platform::win32 {

// Filled as the web client's platform parts arrive.
void install_web_area(Host&) {}

}  // namespace platform::win32
