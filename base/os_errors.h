#pragma once
// Operating-system failures as exceptions (core::EOSError), with the
// system's texts.
#include <cstdint>
#include <string>

#include "core/exceptions.h"
#include "core/status.h"

namespace base {

// The system's text for an error code without its trailing blanks,
// control characters and full stops; empty when it has none.
std::wstring SysErrorMessage(uint32_t code);
// "System Error.  Code: %d.\r\n%s", or "A call to an OS function failed" for 0.
std::wstring OSErrorMessage(uint32_t code);
[[noreturn]] void RaiseOSError(uint32_t code);
// Raises EOSError for a failed status (its system code, 0 when it has
// none); returns for success.
void RaiseOnFailure(const core::Status& status);

}  // namespace base
