#pragma once
// An in-process control manager for a process that no real one started:
// the host's backend, and the stand-in that tests drive. A test queues a
// start, runs the dispatcher on a thread of its own, sends control codes
// and reads every status report each service made.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/service_control.h"
#include "platform/sim/fault_plan.h"

namespace platform {

class SimulatedServiceControl : public ServiceControl {
 public:
  SimulatedServiceControl() = default;
  ~SimulatedServiceControl() override;

  // Test API.
  // The service is started when the dispatcher runs (at once if it does).
  void start_service(const std::wstring& name, std::vector<std::wstring> extra_arguments = {});
  // Calls the service's control handler on the dispatcher's thread and
  // returns once it has; 0, or 1062 when the service is not running.
  uint32_t send_control(const std::wstring& name, uint32_t code);
  std::vector<ServiceStatus> reports(const std::wstring& name) const;
  // Waits until the service has reported `state` (1 stopped ... 7 paused).
  bool wait_for_state(const std::wstring& name, uint32_t state,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
  FaultPlan faults{"register_control_handler", "set_status"};
  // As the real control manager may: the dispatcher returns once every
  // service has reported stopped, and the report of stopped itself returns
  // only when release_stopped_reports() is called or the stand-in goes.
  // Whatever a service does after that report then runs in a process that
  // is already ending, after its objects are gone.
  bool return_at_stopped_report = false;
  void release_stopped_reports();

  core::Status run_dispatcher(const std::vector<std::wstring>& service_names, ServiceEntryProc entry) override;
  core::Result<ServiceStatusHandle> register_control_handler(const std::wstring& service_name,
                                                             ServiceController controller) override;
  core::Status set_status(ServiceStatusHandle handle, const ServiceStatus& status) override;

 private:
  struct Service {
    std::wstring name;
    ServiceController controller = nullptr;
    ServiceStatusHandle handle = 0;
    std::vector<ServiceStatus> reports;
    bool entry_running = false;
    bool reported_stopped() const;
  };
  struct Control {
    std::wstring name;
    uint32_t code;
    bool delivered = false;
  };

  Service* Find(const std::wstring& name);
  const Service* Find(const std::wstring& name) const;
  bool AllStopped() const;
  bool AllReportedStopped() const;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::deque<std::vector<std::wstring>> pending_starts_;
  std::deque<Control*> controls_;
  std::deque<Service> services_;
  std::vector<std::thread> entries_;
  bool dispatching_ = false;
  bool stopped_reports_released_ = false;
  ServiceStatusHandle next_handle_ = 1;
};

}  // namespace platform
