#pragma once
// What installation changes in the system's configuration: the control
// manager's database of services, and the registration of event sources
// that lets an event viewer render the entries of a source.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/status.h"

namespace platform {

// 0 is no handle.
using ScHandle = uintptr_t;

inline constexpr uint32_t kScManagerAllAccess = 0xF003F;
inline constexpr uint32_t kServiceAllAccess = 0xF01FF;
// Enough to look, not to change: any user may ask.
inline constexpr uint32_t kScManagerConnect = 0x0001;
inline constexpr uint32_t kServiceQueryConfigAndStatus = 0x0005;

// What the control manager holds about an installed service, read back.
struct ServiceState {
  uint32_t current_state = 0;  // 1 stopped .. 7 paused
  uint32_t start_type = 0;     // 2 automatic, 3 on demand, 4 disabled
  std::wstring binary_path;    // as registered, quotation marks included
};

// The arguments of a service's creation, as the control manager takes them.
struct ServiceRegistration {
  std::wstring name;
  std::wstring display_name;
  uint32_t access = kServiceAllAccess;
  uint32_t service_type = 0;
  uint32_t start_type = 0;
  uint32_t error_control = 0;
  std::wstring binary_path;
  std::wstring load_group;             // passed as a string, even when empty
  std::optional<uint32_t> tag;         // no value: no tag asked for
  std::wstring dependencies;           // NUL-separated list with a final NUL, or empty
  std::optional<std::wstring> account; // no value: the local system account
  std::wstring password;               // passed as a string, even when empty
};

// What the control manager does when the service ends without being asked
// to: restart it after each delay in turn (the last one for any further
// failure), counting failures again after the reset period.
struct FailureActions {
  uint32_t reset_period_seconds = 0;
  std::vector<uint32_t> restart_delays_ms;
  bool operator==(const FailureActions&) const = default;
};

class ServiceDatabase {
 public:
  virtual ~ServiceDatabase() = default;
  virtual core::Result<ScHandle> open_manager(uint32_t access) = 0;
  // On return `registration.tag` holds the tag the manager gave, if one was asked for.
  virtual core::Result<ScHandle> create_service(ScHandle manager, ServiceRegistration& registration) = 0;
  virtual core::Result<ScHandle> open_service(ScHandle manager, const std::wstring& name, uint32_t access) = 0;
  // Marks the service for deletion, also while it runs.
  virtual core::Status delete_service(ScHandle service) = 0;
  virtual void close_handle(ScHandle handle) = 0;
  // The text the services console shows for the service.
  virtual core::Status set_description(ScHandle service, const std::wstring& description) = 0;
  virtual core::Status set_failure_actions(ScHandle service, const FailureActions& actions) = 0;
  virtual core::Result<FailureActions> query_failure_actions(ScHandle service) = 0;
  // Needs a handle opened with kServiceQueryConfigAndStatus.
  virtual core::Result<ServiceState> query_service(ScHandle service) = 0;

  // Names `message_file` as the message table of `source` in the Application log.
  virtual core::Status register_event_source(const std::wstring& source, const std::wstring& message_file) = 0;
  // Removes that registration; a source that was never registered is no failure.
  virtual core::Status remove_event_source(const std::wstring& source) = 0;
};

// Closes a control manager handle however the scope is left.
class ScopedScHandle {
 public:
  ScopedScHandle(ServiceDatabase& database, ScHandle handle) : database_(database), handle_(handle) {}
  ~ScopedScHandle() {
    if (handle_) database_.close_handle(handle_);
  }
  ScopedScHandle(const ScopedScHandle&) = delete;
  ScopedScHandle& operator=(const ScopedScHandle&) = delete;
  ScHandle get() const { return handle_; }

 private:
  ServiceDatabase& database_;
  ScHandle handle_;
};

}  // namespace platform
