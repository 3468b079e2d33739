// shell32 is loaded only for a launch, a few times a day at most, and let go
// again: held for the process's life it is the largest DLL the service maps.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "platform/win32/base_services.h"

namespace platform::win32 {
namespace {

using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);

// From the system directory by its full path, never from beside the
// executable, on every Windows version.
HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + 1 + wcslen(name) >= MAX_PATH) return nullptr;
  path[length] = L'\\';
  wcscpy(path + length + 1, name);
  return LoadLibraryW(path);
}

class LoadedModule {
 public:
  explicit LoadedModule(const wchar_t* name) : module_(LoadSystemLibrary(name)) {}
  ~LoadedModule() {
    if (module_) FreeLibrary(module_);
  }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

DWORD LastErrorOr(DWORD fallback) {
  const DWORD error = GetLastError();
  return error ? error : fallback;
}

}  // namespace

core::Status Win32Shell::start_hidden(const std::wstring& file, const std::wstring& parameters,
                              const std::wstring& directory) {
  SetLastError(0);
  LoadedModule shell32(L"shell32.dll");
  if (!shell32.get()) return core::Status::SystemError(LastErrorOr(ERROR_MOD_NOT_FOUND));
  auto shell_execute = reinterpret_cast<ShellExecuteFn>(
      reinterpret_cast<void*>(GetProcAddress(shell32.get(), "ShellExecuteW")));
  if (!shell_execute) return core::Status::SystemError(LastErrorOr(ERROR_PROC_NOT_FOUND));
  SetLastError(0);
  HINSTANCE result = shell_execute(nullptr, L"open", file.c_str(), parameters.c_str(), directory.c_str(), SW_HIDE);
  const auto code = reinterpret_cast<INT_PTR>(result);
  if (code > 32) return core::Status::Ok();
  // Values up to 32 are errors; most equal the system error code itself.
  DWORD error = GetLastError();
  if (error == 0) error = code == 0 ? ERROR_NOT_ENOUGH_MEMORY : static_cast<DWORD>(code);
  return core::Status::SystemError(error);
}

}  // namespace platform::win32
