#include "platform/http.h"

namespace platform {

std::wstring http_error_fallback_text(uint32_t code) {
  switch (code) {
#define TAV_HTTP_ERROR_TEXT(name, number, text) \
  case http_error::name: return text;
    TAV_HTTP_ERROR_MAP(TAV_HTTP_ERROR_TEXT)
#undef TAV_HTTP_ERROR_TEXT
    default: return L"HTTP error " + std::to_wstring(code);
  }
}

core::Status http_exchange_ended(core::FailureKind why) {
  return core::Status::Failure(
      why, why == core::FailureKind::DeadlinePassed ? http_error::kTimeout : http_error::kOperationCancelled);
}

}  // namespace platform
