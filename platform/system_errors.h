#pragma once
#include <cstdint>
#include <string>

namespace platform {

class SystemErrors {
 public:
  virtual ~SystemErrors() = default;
  // The system's text for an error code (empty when it has none).
  virtual std::wstring text(uint32_t code) = 0;
};

}  // namespace platform
