// platform/process_info.h on kernel32 (module path, command line, priorities, Sleep).
#include <windows.h>

#include <vector>

#include "platform/win32/base_services.h"

namespace platform::win32 {

std::wstring Win32ProcessInfo::executable_path() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return L"";
    if (n < buffer.size()) return std::wstring(buffer.data(), n);
    buffer.resize(buffer.size() * 2);  // truncated: long path
  }
}

std::wstring Win32ProcessInfo::command_line() { return GetCommandLineW(); }

void Win32ProcessInfo::set_priority_class(PriorityClass priority) {
  static constexpr DWORD kClasses[] = {IDLE_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS, HIGH_PRIORITY_CLASS,
                                       REALTIME_PRIORITY_CLASS};
  SetPriorityClass(GetCurrentProcess(), kClasses[static_cast<int>(priority)]);
}

void Win32ProcessInfo::sleep_ms(uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace platform::win32
