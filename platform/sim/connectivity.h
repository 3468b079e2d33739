#pragma once
// The host's stand-in for the machine's network state: an answer a test sets.
#include <atomic>
#include <cstdint>

#include "platform/connectivity.h"

namespace platform {

class SimulatedConnectivity : public Connectivity {
 public:
  core::Result<bool> connected() override;

  // Test API. Connected until told otherwise; a failure code other than 0
  // makes every check fail with it until cleared.
  void set_connected(bool connected) { connected_ = connected; }
  void fail_with(uint32_t code) { failure_ = code; }
  int checks() const { return checks_; }

 private:
  std::atomic<bool> connected_{true};
  std::atomic<uint32_t> failure_{0};
  std::atomic<int> checks_{0};
};

}  // namespace platform
