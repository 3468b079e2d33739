// platform/clock.h on the Win32 time functions (GetLocalTime, GetTickCount64).
#include <windows.h>

#include "platform/win32/base_services.h"

namespace platform::win32 {

LocalTime Win32Clock::local_now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

uint64_t Win32Clock::monotonic_ms() { return GetTickCount64(); }

}  // namespace platform::win32
