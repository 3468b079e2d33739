#pragma once
// An in-process database of services and event sources: the host's backend,
// and the stand-in that installation tests read back and make fail.
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/service_database.h"
#include "platform/sim/fault_plan.h"

namespace platform {

class SimulatedServiceDatabase : public ServiceDatabase {
 public:
  struct Service {
    ServiceRegistration registration;
    std::wstring description;
    FailureActions failure_actions;
    bool marked_for_deletion = false;
    uint32_t current_state = 1;  // stopped
  };

  // Test API.
  // Every operation but close_handle, by its name here.
  FaultPlan faults{"open_manager", "create_service", "open_service", "delete_service", "set_description",
                   "set_failure_actions", "query_failure_actions", "query_service", "register_event_source",
                   "remove_event_source"};
  // The tag the manager gives a service that asks for one.
  void set_next_tag(uint32_t tag);
  // The state the control manager reports for an installed service.
  void set_state(const std::wstring& name, uint32_t state);
  std::vector<Service> services() const;  // not deleted, in creation order
  std::map<std::wstring, std::wstring> event_sources() const;  // source -> message file
  size_t open_handles() const;
  // The calls made, by operation name, in order.
  std::vector<std::string> calls() const;

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

 private:
  // Records the call; its planned failure, or Ok.
  core::Status Enter(const std::string& operation);
  Service* FindService(const std::wstring& name);
  Service* ServiceOf(ScHandle handle);
  ScHandle NewHandle(std::wstring service_name);

  mutable std::mutex mutex_;
  std::vector<Service> services_;
  std::map<std::wstring, std::wstring> sources_;
  std::map<ScHandle, std::wstring> handles_;  // manager handles hold an empty name
  std::vector<std::string> calls_;
  ScHandle next_handle_ = 1;
  uint32_t next_tag_ = 1;
};

}  // namespace platform
