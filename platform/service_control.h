#pragma once
// The service control manager as a running service sees it: the dispatcher
// that hands started services to their entry, the control handler and the
// status reports.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/status.h"

namespace platform {

// The control manager's codes under names of our own: <windows.h> makes the
// platform's names macros. The win32 backend checks that the values agree.
// Control codes a controller knows by name; any other is a custom code.
inline constexpr uint32_t kControlStop = 1;
inline constexpr uint32_t kControlPause = 2;
inline constexpr uint32_t kControlContinue = 3;
inline constexpr uint32_t kControlInterrogate = 4;
inline constexpr uint32_t kControlShutdown = 5;
// Flags of ServiceStatus::controls_accepted.
inline constexpr uint32_t kAcceptStop = 1;
inline constexpr uint32_t kAcceptPauseContinue = 2;
inline constexpr uint32_t kAcceptShutdown = 4;
// Values and flags of ServiceStatus::service_type.
inline constexpr uint32_t kKernelDriver = 0x1;
inline constexpr uint32_t kFileSystemDriver = 0x2;
inline constexpr uint32_t kWin32OwnProcess = 0x10;
inline constexpr uint32_t kWin32ShareProcess = 0x20;
inline constexpr uint32_t kInteractiveProcess = 0x100;
// ServiceStatus::win32_exit_code when service_specific_exit_code holds the reason.
inline constexpr uint32_t kServiceSpecificError = 1066;

struct ServiceStatus {
  uint32_t service_type = 0;
  uint32_t current_state = 0;
  uint32_t controls_accepted = 0;
  uint32_t win32_exit_code = 0;
  uint32_t service_specific_exit_code = 0;
  uint32_t check_point = 0;
  uint32_t wait_hint = 0;
};

// 0 is no handle.
using ServiceStatusHandle = uintptr_t;
// A service's control entry point: called with each control code.
using ServiceController = void (*)(uint32_t control_code);
// Called on a new thread for each service the control manager starts, with
// the start arguments, the service name first.
using ServiceEntryProc = std::function<void(const std::vector<std::wstring>& arguments)>;

class ServiceControl {
 public:
  virtual ~ServiceControl() = default;
  // Blocks until every started service has stopped; fails at once with the
  // system's code (1063 when the process was not started as a service).
  virtual core::Status run_dispatcher(const std::vector<std::wstring>& service_names, ServiceEntryProc entry) = 0;
  virtual core::Result<ServiceStatusHandle> register_control_handler(const std::wstring& service_name,
                                                                     ServiceController controller) = 0;
  virtual core::Status set_status(ServiceStatusHandle handle, const ServiceStatus& status) = 0;
};

}  // namespace platform
