#pragma once
#include <cstdint>
#include <string>

namespace platform {

class SystemErrors {
 public:
  virtual ~SystemErrors() = default;
  // The system's text for an error code (empty when it has none).
  virtual std::wstring text(uint32_t code) = 0;
  // The calling thread's last error code.
  virtual uint32_t last_error() = 0;
};

}  // namespace platform
