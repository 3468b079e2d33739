#pragma once
#include <string>

#include "core/status.h"

namespace platform {

class Shell {
 public:
  virtual ~Shell() = default;
  // Starts `file` with `parameters`, hidden, without waiting for it. An empty
  // directory leaves the current directory to the new process.
  // The system's code when the program cannot be started.
  virtual core::Status start_hidden(const std::wstring& file, const std::wstring& parameters,
                            const std::wstring& directory) = 0;
};

}  // namespace platform
