// platform/connectivity.h as a stand-in: the state a test sets.
#include "platform/sim/connectivity.h"

namespace platform {

core::Result<bool> SimulatedConnectivity::connected() {
  ++checks_;
  if (core::Status planned = faults.Next("connected"); !planned.ok()) return planned;
  return connected_.load();
}

}  // namespace platform
