#pragma once
// The system event log, written through a registered event source.
#include <cstdint>
#include <string>

#include "core/status.h"

namespace platform {

using EventSourceHandle = uintptr_t;  // 0 is no handle

inline constexpr uint16_t kEventLogErrorType = 1;

class EventLog {
 public:
  virtual ~EventLog() = default;
  // A source on the local machine.
  virtual core::Result<EventSourceHandle> register_source(const std::wstring& source_name) = 0;
  virtual void deregister_source(EventSourceHandle source) = 0;
  // One entry with the message as its only insertion string.
  virtual core::Status report(EventSourceHandle source, uint16_t type, uint16_t category, uint32_t event_id,
                      const std::wstring& message) = 0;
};

}  // namespace platform
