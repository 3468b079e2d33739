#pragma once
// Win32 implementations of the service host's platform services.
#include "platform/console.h"
#include "platform/dialogs.h"
#include "platform/event_log.h"
#include "platform/service_control.h"
#include "platform/service_database.h"

namespace platform::win32 {

class Win32ServiceControl : public ServiceControl {
 public:
  core::Status run_dispatcher(const std::vector<std::wstring>& service_names, ServiceEntryProc entry) override;
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

class Win32ServiceDatabase : public ServiceDatabase {
 public:
  core::Result<ScHandle> open_manager(uint32_t access) override;
  core::Result<ScHandle> create_service(ScHandle manager, ServiceRegistration& registration) override;
  core::Result<ScHandle> open_service(ScHandle manager, const std::wstring& name, uint32_t access) override;
  core::Status delete_service(ScHandle service) override;
  void close_handle(ScHandle handle) override;
  core::Status set_description(ScHandle service, const std::wstring& description) override;
  core::Status set_failure_actions(ScHandle service, const FailureActions& actions) override;
  core::Result<FailureActions> query_failure_actions(ScHandle service) override;
  core::Result<ServiceState> query_service(ScHandle service) override;
  core::Status register_event_source(const std::wstring& source, const std::wstring& message_file) override;
  core::Status remove_event_source(const std::wstring& source) override;
};

class Win32Console : public Console {
 public:
  core::Status write_text(const std::wstring& text) override;
};

class Win32Dialogs : public Dialogs {
 public:
  void show_message(const std::wstring& caption, const std::wstring& text, DialogIcon icon) override;
  bool visible_window_station() override;
  void write_error(const std::wstring& caption, const std::wstring& text) override;
};

}  // namespace platform::win32
