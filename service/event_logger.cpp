#include "service/event_logger.h"

#include "platform/host.h"

namespace service {

TEventLogger::~TEventLogger() {
  if (FEventLog) platform::host().event_log->deregister_source(FEventLog);
}

void TEventLogger::LogMessage(const std::wstring& Message, uint16_t EventType, uint16_t Category, uint32_t ID) {
  platform::EventLog* log = platform::host().event_log;
  if (!log) return;
  // A source that could not be registered is tried again next time.
  if (!FEventLog) {
    const auto registered = log->register_source(FName);
    if (!registered.ok()) return;
    FEventLog = registered.value();
  }
  // A failed entry has nowhere left to be reported.
  (void)log->report(FEventLog, EventType, Category, ID, Message);
}

}  // namespace service
