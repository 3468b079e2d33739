#pragma once
#include <string>

namespace platform {

class Files {
 public:
  virtual ~Files() = default;
  // True when the path exists and is a file, not a directory.
  virtual bool is_file(const std::wstring& path) = 0;
};

}  // namespace platform
