#include "base/exceptions.h"

#include "base/format.h"
#include "base/utf.h"
#include "platform/host.h"
#include "platform/system_errors.h"

namespace base {

const char* Exception::what() const noexcept {
  try {
    if (narrow_.empty()) narrow_ = ToUtf8(message_);
    return narrow_.c_str();
  } catch (...) {
    return "exception";
  }
}

std::wstring SysErrorMessage(uint32_t code) {
  std::wstring text;
  if (auto* errors = platform::host().system_errors) text = errors->text(code);
  while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) text.pop_back();
  return text;
}

std::wstring OSErrorMessage(uint32_t code) {
  if (code == 0) return L"A call to an OS function failed";
  const std::wstring text = SysErrorMessage(code);
  return Format(L"System Error.  Code: %d.\r\n%s", {static_cast<int64_t>(code), text});
}

void RaiseOSError(uint32_t code) { throw EOSError(code, OSErrorMessage(code)); }

void RaiseLastOSError() {
  auto* errors = platform::host().system_errors;
  RaiseOSError(errors ? errors->last_error() : 0);
}

std::wstring ExceptionMessage(const std::exception& e) {
  if (auto* own = dynamic_cast<const Exception*>(&e)) return own->Message();
  return FromUtf8(e.what());
}

}  // namespace base
