// platform/event_log.h as a stand-in that records every entry.
#include "platform/sim/event_log.h"

namespace platform {

namespace {
constexpr uint32_t kInvalidHandle = 6;
}  // namespace

core::Result<EventSourceHandle> RecordedEventLog::register_source(const std::wstring& source_name) {
  if (core::Status planned = faults.Next("register_source"); !planned.ok()) return planned;
  std::lock_guard lock(mutex_);
  sources_[next_] = source_name;
  return next_++;
}

void RecordedEventLog::deregister_source(EventSourceHandle source) {
  std::lock_guard lock(mutex_);
  sources_.erase(source);
}

core::Status RecordedEventLog::report(EventSourceHandle source, uint16_t type, uint16_t category, uint32_t event_id,
                              const std::wstring& message) {
  if (core::Status planned = faults.Next("report"); !planned.ok()) return planned;
  std::lock_guard lock(mutex_);
  auto it = sources_.find(source);
  if (it == sources_.end()) return core::Status::SystemError(kInvalidHandle);
  entries_.push_back({it->second, type, category, event_id, message});
  return core::Status::Ok();
}

std::vector<EventLogEntry> RecordedEventLog::entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

size_t RecordedEventLog::open_sources() const {
  std::lock_guard lock(mutex_);
  return sources_.size();
}

}  // namespace platform
