// platform/host.h: installs the win32 backend's members.
#include "platform/win32/backend.h"

namespace platform {

void install_default_host() {
  Host& h = host();
  win32::install_base_area(h);
  win32::install_service_area(h);
  win32::install_web_area(h);
}

}  // namespace platform
