#include "platform/host.h"

namespace platform {

Host& host() {
  static Host instance;
  return instance;
}

}  // namespace platform
