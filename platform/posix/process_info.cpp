// platform/process_info.h on /proc and the C library.
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
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

// Linux keeps the arguments apart; they are joined as Windows would show
// them, an argument with a blank in quotation marks.
std::wstring PosixProcessInfo::command_line() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::wstring line;
  for (size_t start = 0; start < raw.size();) {
    size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    std::wstring argument = core::FromUtf8(raw.substr(start, end - start));
    if (argument.find(L' ') != std::wstring::npos) argument = L'"' + argument + L'"';
    line += (line.empty() ? L"" : L" ") + argument;
    start = end + 1;
  }
  return line;
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
