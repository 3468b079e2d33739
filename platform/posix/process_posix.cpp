#include <unistd.h>

#include <chrono>
#include <thread>

#include "core/utf.h"
#include "platform/posix/base_services.h"

namespace platform::posix {

std::wstring PosixProcessInfo::executable_path() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return L"";
  return core::FromUtf8(std::string(buffer, static_cast<size_t>(n)));
}

// Linux has no process priority classes a service could switch between,
// and the host tests have nothing to gain from renicing themselves.
void PosixProcessInfo::set_priority_class(PriorityClass) {}

void PosixProcessInfo::sleep_ms(uint32_t milliseconds) {
  honour_suspension();
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  honour_suspension();
}

}  // namespace platform::posix
