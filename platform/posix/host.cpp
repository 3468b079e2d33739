// platform/host.h: installs the posix backend's members and the stand-ins.
#include "platform/posix/backend.h"

namespace platform {

void install_default_host() {
  Host& h = host();
  posix::install_base_area(h);
  posix::install_service_area(h);
  posix::install_web_area(h);
}

}  // namespace platform
