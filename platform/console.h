#pragma once
#include <string>

#include "core/status.h"

namespace platform {

// Text for the person who ran the program from a command prompt or a
// script: the redirected standard output (UTF-8), or the console the
// program was started from.
class Console {
 public:
  virtual ~Console() = default;
  // Fails when there is neither, as for a double-click, or the write
  // fails: the caller shows the text another way.
  virtual core::Status write_text(const std::wstring& text) = 0;
};

}  // namespace platform
