#pragma once
#include "core/status.h"

namespace platform {

// Whether the machine reports a network connection. A check that cannot
// tell is a failure, which is not the same as "no connection".
class Connectivity {
 public:
  virtual ~Connectivity() = default;
  virtual core::Result<bool> connected() = 0;
};

}  // namespace platform
