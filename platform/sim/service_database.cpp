// platform/service_database.h as a stand-in service database, in memory.
#include "platform/sim/service_database.h"

#include <algorithm>

#include "core/text.h"

namespace platform {

namespace {

constexpr uint32_t kInvalidHandle = 6;
constexpr uint32_t kServiceMarkedForDelete = 1072;
constexpr uint32_t kServiceExists = 1073;
constexpr uint32_t kNoSuchService = 1060;

}  // namespace

void SimulatedServiceDatabase::set_next_tag(uint32_t tag) {
  std::lock_guard lock(mutex_);
  next_tag_ = tag;
}

void SimulatedServiceDatabase::set_state(const std::wstring& name, uint32_t state) {
  std::lock_guard lock(mutex_);
  if (Service* found = FindService(name)) found->current_state = state;
}

std::vector<SimulatedServiceDatabase::Service> SimulatedServiceDatabase::services() const {
  std::lock_guard lock(mutex_);
  std::vector<Service> live;
  std::copy_if(services_.begin(), services_.end(), std::back_inserter(live),
               [](const Service& s) { return !s.marked_for_deletion; });
  return live;
}

std::map<std::wstring, std::wstring> SimulatedServiceDatabase::event_sources() const {
  std::lock_guard lock(mutex_);
  return sources_;
}

size_t SimulatedServiceDatabase::open_handles() const {
  std::lock_guard lock(mutex_);
  return handles_.size();
}

std::vector<std::string> SimulatedServiceDatabase::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

core::Status SimulatedServiceDatabase::Enter(const std::string& operation) {
  calls_.push_back(operation);
  return faults.Next(operation);
}

SimulatedServiceDatabase::Service* SimulatedServiceDatabase::FindService(const std::wstring& name) {
  for (auto& s : services_)
    if (!s.marked_for_deletion && core::SameTextIgnoringCase(s.registration.name, name)) return &s;
  return nullptr;
}

SimulatedServiceDatabase::Service* SimulatedServiceDatabase::ServiceOf(ScHandle handle) {
  auto it = handles_.find(handle);
  return it == handles_.end() || it->second.empty() ? nullptr : FindService(it->second);
}

ScHandle SimulatedServiceDatabase::NewHandle(std::wstring service_name) {
  const ScHandle handle = next_handle_++;
  handles_[handle] = std::move(service_name);
  return handle;
}

core::Result<ScHandle> SimulatedServiceDatabase::open_manager(uint32_t) {
  std::lock_guard lock(mutex_);
  if (core::Status s = Enter("open_manager"); !s.ok()) return s;
  return NewHandle(L"");
}

core::Result<ScHandle> SimulatedServiceDatabase::create_service(ScHandle manager, ServiceRegistration& r) {
  std::lock_guard lock(mutex_);
  if (core::Status s = Enter("create_service"); !s.ok()) return s;
  if (!handles_.count(manager)) return core::Status::SystemError(kInvalidHandle);
  if (FindService(r.name)) return core::Status::SystemError(kServiceExists);
  if (r.tag) r.tag = next_tag_++;
  services_.push_back({r, L"", {}, false, 1});
  return NewHandle(r.name);
}

core::Result<ScHandle> SimulatedServiceDatabase::open_service(ScHandle manager, const std::wstring& name,
                                                              uint32_t) {
  std::lock_guard lock(mutex_);
  if (core::Status s = Enter("open_service"); !s.ok()) return s;
  if (!handles_.count(manager)) return core::Status::SystemError(kInvalidHandle);
  if (!FindService(name)) return core::Status::SystemError(kNoSuchService);
  return NewHandle(name);
}

core::Status SimulatedServiceDatabase::delete_service(ScHandle service) {
  std::lock_guard lock(mutex_);
  if (core::Status s = Enter("delete_service"); !s.ok()) return s;
  Service* found = ServiceOf(service);
  if (!found) return core::Status::SystemError(handles_.count(service) ? kServiceMarkedForDelete : kInvalidHandle);
  found->marked_for_deletion = true;
  return core::Status::Ok();
}

void SimulatedServiceDatabase::close_handle(ScHandle handle) {
  std::lock_guard lock(mutex_);
  calls_.push_back("close_handle");
  handles_.erase(handle);
}

core::Status SimulatedServiceDatabase::set_description(ScHandle service, const std::wstring& description) {
  std::lock_guard lock(mutex_);
  if (core::Status s = Enter("set_description"); !s.ok()) return s;
  Service* found = ServiceOf(service);
  if (!found) return core::Status::SystemError(kInvalidHandle);
  found->description = description;
  return core::Status::Ok();
}

core::Status SimulatedServiceDatabase::set_failure_actions(ScHandle service, const FailureActions& actions) {
  std::lock_guard lock(mutex_);
  if (core::Status s = Enter("set_failure_actions"); !s.ok()) return s;
  Service* found = ServiceOf(service);
  if (!found) return core::Status::SystemError(kInvalidHandle);
  found->failure_actions = actions;
  return core::Status::Ok();
}

core::Result<FailureActions> SimulatedServiceDatabase::query_failure_actions(ScHandle service) {
  std::lock_guard lock(mutex_);
  if (core::Status s = Enter("query_failure_actions"); !s.ok()) return s;
  const Service* found = ServiceOf(service);
  if (!found) return core::Status::SystemError(kInvalidHandle);
  return found->failure_actions;
}

core::Result<ServiceState> SimulatedServiceDatabase::query_service(ScHandle service) {
  std::lock_guard lock(mutex_);
  if (core::Status s = Enter("query_service"); !s.ok()) return s;
  const Service* found = ServiceOf(service);
  if (!found) return core::Status::SystemError(kInvalidHandle);
  return ServiceState{found->current_state, found->registration.start_type, found->registration.binary_path};
}

core::Status SimulatedServiceDatabase::register_event_source(const std::wstring& source,
                                                             const std::wstring& message_file) {
  std::lock_guard lock(mutex_);
  if (core::Status s = Enter("register_event_source"); !s.ok()) return s;
  sources_[source] = message_file;
  return core::Status::Ok();
}

core::Status SimulatedServiceDatabase::remove_event_source(const std::wstring& source) {
  std::lock_guard lock(mutex_);
  if (core::Status s = Enter("remove_event_source"); !s.ok()) return s;
  sources_.erase(source);
  return core::Status::Ok();
}

}  // namespace platform
