#include "platform/sim/simulated_connectivity.h"

namespace platform {

core::Result<bool> SimulatedConnectivity::connected() {
  ++checks_;
  if (core::Status planned = faults.Next("connected"); !planned.ok()) return planned;
  return connected_.load();
}

}  // namespace platform
