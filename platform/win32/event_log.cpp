// platform/event_log.h on the event log API (advapi32 ReportEventW).
#include <windows.h>

#include "platform/win32/service_services.h"

namespace platform::win32 {

core::Result<EventSourceHandle> Win32EventLog::register_source(const std::wstring& source_name) {
  HANDLE source = RegisterEventSourceW(nullptr, source_name.c_str());
  if (!source) return core::Status::SystemError(GetLastError());
  return reinterpret_cast<EventSourceHandle>(source);
}

void Win32EventLog::deregister_source(EventSourceHandle source) {
  DeregisterEventSource(reinterpret_cast<HANDLE>(source));
}

core::Status Win32EventLog::report(EventSourceHandle source, uint16_t type, uint16_t category, uint32_t event_id,
                           const std::wstring& message) {
  const wchar_t* strings[1] = {message.c_str()};
  if (ReportEventW(reinterpret_cast<HANDLE>(source), type, category, event_id, nullptr, 1, 0, strings, nullptr))
    return core::Status::Ok();
  return core::Status::SystemError(GetLastError());
}

}  // namespace platform::win32
