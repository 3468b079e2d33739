#pragma once
#include <string>
#include <vector>

#include "core/status.h"

namespace platform {

// Who may change a file or folder, from its owner and access list.
class FileAccess {
 public:
  virtual ~FileAccess() = default;
  // The accounts, by name, that may write, replace or take over `path`
  // without being the system or an administrator: its owner when it is
  // such an account (an owner may rewrite the access list) and every
  // account an allowing entry gives a write right. A system error when the
  // owner or the access list cannot be read.
  virtual core::Result<std::vector<std::wstring>> untrusted_writers(const std::wstring& path) = 0;
};

}  // namespace platform
