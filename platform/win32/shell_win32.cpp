#include <windows.h>
#include <shellapi.h>

#include "platform/win32/base_services.h"

namespace platform::win32 {

core::Status Win32Shell::start_hidden(const std::wstring& file, const std::wstring& parameters,
                              const std::wstring& directory) {
  SetLastError(0);
  HINSTANCE result = ShellExecuteW(nullptr, L"open", file.c_str(), parameters.c_str(), directory.c_str(), SW_HIDE);
  const auto code = reinterpret_cast<INT_PTR>(result);
  if (code > 32) return core::Status::Ok();
  // Values up to 32 are errors; most equal the system error code itself.
  DWORD error = GetLastError();
  if (error == 0) error = code == 0 ? ERROR_NOT_ENOUGH_MEMORY : static_cast<DWORD>(code);
  return core::Status::SystemError(error);
}

}  // namespace platform::win32
