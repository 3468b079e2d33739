#pragma once
// Writes entries to the system event log under one source name; the source
// is registered on first use and deregistered with the logger.
#include <cstdint>
#include <string>

#include "platform/event_log.h"

namespace service {

class TEventLogger {
 public:
  explicit TEventLogger(std::wstring name) : FName(std::move(name)) {}
  ~TEventLogger();
  TEventLogger(const TEventLogger&) = delete;
  TEventLogger& operator=(const TEventLogger&) = delete;

  void LogMessage(const std::wstring& Message, uint16_t EventType = platform::kEventLogErrorType,
                  uint16_t Category = 0, uint32_t ID = 0);
  const std::wstring& Name() const { return FName; }

 private:
  std::wstring FName;
  platform::EventSourceHandle FEventLog = 0;
};

}  // namespace service
