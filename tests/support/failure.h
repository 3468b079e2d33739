#pragma once
#include <functional>
#include <string>

#include "core/exceptions.h"

namespace testing_support {

// The message of the system exception that `action` raises; empty when it
// raises none.
inline std::wstring FailureMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const core::Exception& e) {
    return e.Message();
  }
  return L"";
}

}  // namespace testing_support
