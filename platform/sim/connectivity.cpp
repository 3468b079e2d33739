// platform/connectivity.h as a stand-in: the state a test sets.
#include "platform/sim/connectivity.h"

namespace platform {

core::Result<bool> SimulatedConnectivity::connected() {
  ++checks_;
  if (const uint32_t code = failure_) return core::Status::SystemError(code);
  return connected_.load();
}

}  // namespace platform
