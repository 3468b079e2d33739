// platform/files.h on the Win32 file functions (kernel32).
#include <windows.h>

#include "platform/win32/base_services.h"

namespace platform::win32 {

bool Win32Files::is_file(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace platform::win32
