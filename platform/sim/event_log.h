#pragma once
// An event log that keeps its entries in memory: the host's backend, and
// what tests read the entries from.
#include <map>
#include <mutex>
#include <vector>

#include "platform/event_log.h"
#include "platform/sim/fault_plan.h"

namespace platform {

struct EventLogEntry {
  std::wstring source;
  uint16_t type = 0;
  uint16_t category = 0;
  uint32_t event_id = 0;
  std::wstring text;
  bool operator==(const EventLogEntry&) const = default;
};

class RecordedEventLog : public EventLog {
 public:
  core::Result<EventSourceHandle> register_source(const std::wstring& source_name) override;
  void deregister_source(EventSourceHandle source) override;
  core::Status report(EventSourceHandle source, uint16_t type, uint16_t category, uint32_t event_id,
              const std::wstring& message) override;

  std::vector<EventLogEntry> entries() const;
  size_t open_sources() const;
  FaultPlan faults{"register_source", "report"};

 private:
  mutable std::mutex mutex_;
  std::vector<EventLogEntry> entries_;
  std::map<EventSourceHandle, std::wstring> sources_;
  EventSourceHandle next_ = 1;
};

}  // namespace platform
