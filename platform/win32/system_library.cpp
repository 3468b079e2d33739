#include "platform/win32/system_library.h"

#include <cwchar>

namespace platform::win32 {

HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + 1 + wcslen(name) >= MAX_PATH) {
    if (length != 0) SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  path[length] = L'\\';
  wcscpy(path + length + 1, name);
  return LoadLibraryW(path);
}

}  // namespace platform::win32
