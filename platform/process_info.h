#pragma once
#include <cstdint>
#include <string>

namespace platform {

enum class PriorityClass { Idle, Normal, High, RealTime };

class ProcessInfo {
 public:
  virtual ~ProcessInfo() = default;
  // Full path of the running executable, in the platform's form.
  virtual std::wstring executable_path() = 0;
  virtual void set_priority_class(PriorityClass priority) = 0;
  virtual void sleep_ms(uint32_t milliseconds) = 0;
};

}  // namespace platform
