// platform/service_control.h on the service control dispatcher (advapi32).
#include <windows.h>

#include "platform/win32/service_services.h"

namespace platform::win32 {

// The seam's own names for the control manager's codes must carry its values.
static_assert(kControlStop == SERVICE_CONTROL_STOP && kControlPause == SERVICE_CONTROL_PAUSE &&
              kControlContinue == SERVICE_CONTROL_CONTINUE && kControlInterrogate == SERVICE_CONTROL_INTERROGATE &&
              kControlShutdown == SERVICE_CONTROL_SHUTDOWN);
static_assert(kAcceptStop == SERVICE_ACCEPT_STOP && kAcceptPauseContinue == SERVICE_ACCEPT_PAUSE_CONTINUE &&
              kAcceptShutdown == SERVICE_ACCEPT_SHUTDOWN);
static_assert(kKernelDriver == SERVICE_KERNEL_DRIVER && kFileSystemDriver == SERVICE_FILE_SYSTEM_DRIVER &&
              kWin32OwnProcess == SERVICE_WIN32_OWN_PROCESS && kWin32ShareProcess == SERVICE_WIN32_SHARE_PROCESS &&
              kInteractiveProcess == SERVICE_INTERACTIVE_PROCESS);
static_assert(kServiceSpecificError == ERROR_SERVICE_SPECIFIC_ERROR);

namespace {

// The dispatcher has one entry for all services; the platform gives its
// service procedure no context, so the entry waits here.
ServiceEntryProc dispatched_entry;

void WINAPI ServiceMain(DWORD argc, LPWSTR* argv) {
  std::vector<std::wstring> arguments;
  for (DWORD i = 0; i < argc; ++i) arguments.emplace_back(argv[i]);
  if (dispatched_entry) dispatched_entry(arguments);
}

DWORD WINAPI ControlHandler(DWORD control, DWORD, void*, void* context) {
  reinterpret_cast<ServiceController>(context)(control);
  return NO_ERROR;
}

}  // namespace

core::Status Win32ServiceControl::run_dispatcher(const std::vector<std::wstring>& service_names,
                                                ServiceEntryProc entry) {
  dispatched_entry = std::move(entry);
  std::vector<SERVICE_TABLE_ENTRYW> table;
  for (const auto& name : service_names)
    table.push_back({const_cast<wchar_t*>(name.c_str()), &ServiceMain});
  table.push_back({nullptr, nullptr});
  if (!StartServiceCtrlDispatcherW(table.data())) return core::Status::SystemError(GetLastError());
  return core::Status::Ok();
}

// The extended registration carries the entry point as its context, so one
// platform handler serves every service.
core::Result<ServiceStatusHandle> Win32ServiceControl::register_control_handler(const std::wstring& service_name,
                                                                  ServiceController controller) {
  SERVICE_STATUS_HANDLE handle =
      RegisterServiceCtrlHandlerExW(service_name.c_str(), &ControlHandler, reinterpret_cast<void*>(controller));
  if (!handle) return core::Status::SystemError(GetLastError());
  return reinterpret_cast<ServiceStatusHandle>(handle);
}

core::Status Win32ServiceControl::set_status(ServiceStatusHandle handle, const ServiceStatus& status) {
  SERVICE_STATUS s;
  s.dwServiceType = status.service_type;
  s.dwCurrentState = status.current_state;
  s.dwControlsAccepted = status.controls_accepted;
  s.dwWin32ExitCode = status.win32_exit_code;
  s.dwServiceSpecificExitCode = status.service_specific_exit_code;
  s.dwCheckPoint = status.check_point;
  s.dwWaitHint = status.wait_hint;
  if (SetServiceStatus(reinterpret_cast<SERVICE_STATUS_HANDLE>(handle), &s)) return core::Status::Ok();
  return core::Status::SystemError(GetLastError());
}

}  // namespace platform::win32
