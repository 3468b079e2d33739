#pragma once
// The host's stand-in for the machine's network state: an answer a test sets.
#include <atomic>
#include <cstdint>

#include "platform/connectivity.h"
#include "platform/sim/fault_plan.h"

namespace platform {

class SimulatedConnectivity : public Connectivity {
 public:
  core::Result<bool> connected() override;

  // Test API. Connected until told otherwise.
  void set_connected(bool connected) { connected_ = connected; }
  int checks() const { return checks_; }
  FaultPlan faults{"connected"};

 private:
  std::atomic<bool> connected_{true};
  std::atomic<int> checks_{0};
};

}  // namespace platform
