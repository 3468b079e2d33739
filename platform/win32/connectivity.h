#pragma once
#include "platform/connectivity.h"

namespace platform::win32 {

class NetworkListConnectivity : public Connectivity {
 public:
  core::Result<bool> connected() override;
};

}  // namespace platform::win32
