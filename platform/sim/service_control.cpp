// platform/service_control.h as a stand-in control manager, in process.
#include "platform/sim/service_control.h"

#include <algorithm>

#include "core/text.h"

namespace platform {

namespace {

constexpr uint32_t kStopped = 1;
constexpr uint32_t kNotConnected = 1063;  // not started by a control manager
constexpr uint32_t kNotActive = 1062;
constexpr uint32_t kNoSuchService = 1060;
constexpr uint32_t kInvalidHandle = 6;

}  // namespace

bool SimulatedServiceControl::Service::reported_stopped() const {
  return !reports.empty() && reports.back().current_state == kStopped;
}

SimulatedServiceControl::~SimulatedServiceControl() {
  release_stopped_reports();
  for (auto& t : entries_)
    if (t.joinable()) t.join();
}

void SimulatedServiceControl::release_stopped_reports() {
  {
    std::lock_guard lock(mutex_);
    stopped_reports_released_ = true;
  }
  changed_.notify_all();
}

SimulatedServiceControl::Service* SimulatedServiceControl::Find(const std::wstring& name) {
  for (auto& s : services_)
    if (core::SameTextIgnoringCase(s.name, name)) return &s;
  return nullptr;
}

const SimulatedServiceControl::Service* SimulatedServiceControl::Find(const std::wstring& name) const {
  return const_cast<SimulatedServiceControl*>(this)->Find(name);
}

void SimulatedServiceControl::start_service(const std::wstring& name, std::vector<std::wstring> extra_arguments) {
  extra_arguments.insert(extra_arguments.begin(), name);
  {
    std::lock_guard lock(mutex_);
    pending_starts_.push_back(std::move(extra_arguments));
  }
  changed_.notify_all();
}

uint32_t SimulatedServiceControl::send_control(const std::wstring& name, uint32_t code) {
  std::unique_lock lock(mutex_);
  Service* service = Find(name);
  const bool stopped = !service || !service->controller || service->reported_stopped();
  if (!dispatching_ || stopped) return kNotActive;
  Control control{name, code};
  controls_.push_back(&control);
  changed_.notify_all();
  changed_.wait(lock, [&] { return control.delivered; });
  return 0;
}

std::vector<ServiceStatus> SimulatedServiceControl::reports(const std::wstring& name) const {
  std::lock_guard lock(mutex_);
  const Service* service = Find(name);
  return service ? service->reports : std::vector<ServiceStatus>{};
}

bool SimulatedServiceControl::wait_for_state(const std::wstring& name, uint32_t state,
                                             std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [&] {
    const Service* s = Find(name);
    return s && std::any_of(s->reports.begin(), s->reports.end(),
                            [&](const ServiceStatus& r) { return r.current_state == state; });
  });
}

// A service is done once its entry has returned and it either never took
// control requests or has reported stopped.
bool SimulatedServiceControl::AllStopped() const {
  return pending_starts_.empty() && std::all_of(services_.begin(), services_.end(), [](const Service& s) {
           return !s.entry_running && (!s.controller || s.reported_stopped());
         });
}

bool SimulatedServiceControl::AllReportedStopped() const {
  return pending_starts_.empty() && std::all_of(services_.begin(), services_.end(), [](const Service& s) {
           return s.controller ? s.reported_stopped() : !s.entry_running;
         });
}

core::Status SimulatedServiceControl::run_dispatcher(const std::vector<std::wstring>& service_names,
                                                     ServiceEntryProc entry) {
  std::unique_lock lock(mutex_);
  if (dispatching_ || pending_starts_.empty()) return core::Status::SystemError(kNotConnected);
  dispatching_ = true;
  for (;;) {
    while (!pending_starts_.empty()) {
      std::vector<std::wstring> arguments = std::move(pending_starts_.front());
      pending_starts_.pop_front();
      const bool known = std::any_of(service_names.begin(), service_names.end(),
                                     [&](const std::wstring& n) { return core::SameTextIgnoringCase(n, arguments[0]); });
      if (!known) continue;
      Service* service = Find(arguments[0]);
      if (!service) {
        service = &services_.emplace_back();
        service->name = arguments[0];
      }
      service->controller = nullptr;
      service->handle = 0;
      service->entry_running = true;
      entries_.emplace_back([this, service, entry, arguments] {
        entry(arguments);
        std::lock_guard inner(mutex_);
        service->entry_running = false;
        changed_.notify_all();
      });
    }
    while (!controls_.empty()) {
      Control* control = controls_.front();
      controls_.pop_front();
      Service* service = Find(control->name);
      ServiceController controller = service ? service->controller : nullptr;
      lock.unlock();
      if (controller) controller(control->code);
      lock.lock();
      control->delivered = true;
      changed_.notify_all();
    }
    if (return_at_stopped_report ? AllReportedStopped() : AllStopped()) break;
    changed_.wait(lock);
  }
  std::vector<std::thread> ended;
  // Entries left running are joined when the stand-in goes.
  if (!return_at_stopped_report) ended.swap(entries_);
  dispatching_ = false;
  changed_.notify_all();
  lock.unlock();
  for (auto& t : ended) t.join();
  return core::Status::Ok();
}

core::Result<ServiceStatusHandle> SimulatedServiceControl::register_control_handler(const std::wstring& service_name,
                                                                      ServiceController controller) {
  std::unique_lock lock(mutex_);
  Service* service = Find(service_name);
  if (core::Status planned = faults.Next("register_control_handler"); !planned.ok()) return planned;
  if (!service || !service->entry_running) return core::Status::SystemError(kNoSuchService);
  service->controller = controller;
  service->handle = next_handle_++;
  return service->handle;
}

core::Status SimulatedServiceControl::set_status(ServiceStatusHandle handle, const ServiceStatus& status) {
  std::unique_lock lock(mutex_);
  auto it = std::find_if(services_.begin(), services_.end(),
                         [&](const Service& s) { return handle != 0 && s.handle == handle; });
  if (core::Status planned = faults.Next("set_status"); !planned.ok()) return planned;
  if (it == services_.end()) return core::Status::SystemError(kInvalidHandle);
  it->reports.push_back(status);
  changed_.notify_all();
  if (return_at_stopped_report && status.current_state == kStopped && AllReportedStopped())
    changed_.wait(lock, [&] { return stopped_reports_released_; });
  return core::Status::Ok();
}

}  // namespace platform
