#pragma once
// Win32 implementations of the service host's platform services.
#include "platform/dialogs.h"
#include "platform/event_log.h"
#include "platform/service_control.h"

namespace platform::win32 {

class Win32ServiceControl : public ServiceControl {
 public:
  uint32_t run_dispatcher(const std::vector<std::wstring>& service_names, ServiceEntryProc entry) override;
  core::Result<ServiceStatusHandle> register_control_handler(const std::wstring& service_name,
                                               ServiceController controller) override;
  core::Status set_status(ServiceStatusHandle handle, const ServiceStatus& status) override;
};

class Win32EventLog : public EventLog {
 public:
  core::Result<EventSourceHandle> register_source(const std::wstring& source_name) override;
  void deregister_source(EventSourceHandle source) override;
  core::Status report(EventSourceHandle source, uint16_t type, uint16_t category, uint32_t event_id,
              const std::wstring& message) override;
};

class Win32Dialogs : public Dialogs {
 public:
  void show_message(const std::wstring& caption, const std::wstring& text, DialogIcon icon) override;
};

}  // namespace platform::win32
