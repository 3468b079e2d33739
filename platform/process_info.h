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
  // The whole command line as one text, the program first, as the platform
  // keeps it. A stand-in with no command line of its own has an empty one.
  virtual std::wstring command_line() { return {}; }
  virtual void set_priority_class(PriorityClass priority) = 0;
  virtual void sleep_ms(uint32_t milliseconds) = 0;
};

}  // namespace platform
