#include "base/os_errors.h"

#include "core/format.h"
#include "platform/host.h"
#include "platform/system_errors.h"

namespace base {

std::wstring SysErrorMessage(uint32_t code) {
  std::wstring text;
  if (auto* errors = platform::host().system_errors) text = errors->text(code);
  while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) text.pop_back();
  return text;
}

std::wstring OSErrorMessage(uint32_t code) {
  if (code == 0) return L"A call to an OS function failed";
  const std::wstring text = SysErrorMessage(code);
  return core::Format(L"System Error.  Code: %d.\r\n%s", {static_cast<int64_t>(code), text});
}

void RaiseOSError(uint32_t code) { throw core::EOSError(code, OSErrorMessage(code)); }

void RaiseOnFailure(const core::Status& status) {
  if (!status.ok()) RaiseOSError(status.code());
}

}  // namespace base
