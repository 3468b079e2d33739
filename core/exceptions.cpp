#include "core/exceptions.h"

#include "core/utf.h"

namespace core {

const char* Exception::what() const noexcept {
  try {
    if (narrow_.empty()) narrow_ = ToUtf8(message_);
    return narrow_.c_str();
  } catch (...) {
    return "exception";
  }
}

std::wstring ExceptionMessage(const std::exception& e) {
  if (auto* own = dynamic_cast<const Exception*>(&e)) return own->Message();
  return FromUtf8(e.what());
}

}  // namespace core
