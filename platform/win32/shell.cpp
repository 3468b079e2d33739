// platform/shell.h on shell32 (ShellExecuteW), loaded when first needed.
// shell32 is the largest DLL the service would map, and only a launch needs
// it: it is loaded at the first launch. It is then kept, because
// ShellExecuteW may finish its work on a thread of its own after returning,
// and freeing the DLL under that thread would bring the service down.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <atomic>

#include "platform/win32/base_services.h"
#include "platform/win32/system_library.h"

namespace platform::win32 {
namespace {

using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);

DWORD LastErrorOr(DWORD fallback) {
  const DWORD error = GetLastError();
  return error ? error : fallback;
}

// The shell's entry, loaded once; a failed load is tried again at the next
// launch. Launches come from one worker at a time, and a second load would
// only add a reference.
core::Result<ShellExecuteFn> ShellExecuteEntry() {
  static std::atomic<ShellExecuteFn> loaded{nullptr};
  if (ShellExecuteFn entry = loaded.load()) return entry;
  HMODULE shell32 = LoadSystemLibrary(L"shell32.dll");
  if (!shell32) return core::Status::SystemError(LastErrorOr(ERROR_MOD_NOT_FOUND));
  auto entry = reinterpret_cast<ShellExecuteFn>(reinterpret_cast<void*>(GetProcAddress(shell32, "ShellExecuteW")));
  if (!entry) return core::Status::SystemError(LastErrorOr(ERROR_PROC_NOT_FOUND));
  loaded.store(entry);
  return entry;
}

// ShellExecuteW may use COM on the calling thread (associations, shell
// extensions); Windows asks for it apartment-threaded with OLE1 DDE off.
// A thread that already has COM keeps it as it was.
class ComForTheShell {
 public:
  ComForTheShell() : initialised_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ComForTheShell() {
    if (SUCCEEDED(initialised_)) CoUninitialize();
  }
  ComForTheShell(const ComForTheShell&) = delete;
  ComForTheShell& operator=(const ComForTheShell&) = delete;

 private:
  HRESULT initialised_;
};

}  // namespace

core::Status Win32Shell::start_hidden(const std::wstring& file, const std::wstring& parameters,
                              const std::wstring& directory) {
  SetLastError(0);
  const core::Result<ShellExecuteFn> shell_execute = ShellExecuteEntry();
  if (!shell_execute.ok()) return shell_execute.status();
  const ComForTheShell com;
  SetLastError(0);
  HINSTANCE result = shell_execute.value()(nullptr, L"open", file.c_str(), parameters.c_str(), directory.c_str(), SW_HIDE);
  const auto code = reinterpret_cast<INT_PTR>(result);
  if (code > 32) return core::Status::Ok();
  // Values up to 32 are errors; most equal the system error code itself.
  DWORD error = GetLastError();
  if (error == 0) error = code == 0 ? ERROR_NOT_ENOUGH_MEMORY : static_cast<DWORD>(code);
  return core::Status::SystemError(error);
}

}  // namespace platform::win32
