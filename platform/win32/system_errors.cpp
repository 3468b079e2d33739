// platform/system_errors.h on FormatMessageW.
#include <windows.h>

#include "platform/win32/base_services.h"

namespace platform::win32 {

std::wstring Win32SystemErrors::text(uint32_t code) {
  // At most 256 characters; a longer text counts as none.
  wchar_t buffer[256];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           nullptr, code, 0, buffer, 256, nullptr);
  // Trailing line breaks and full stops are trimmed by the caller.
  return n == 0 ? std::wstring() : std::wstring(buffer, buffer + n);
}

}  // namespace platform::win32
