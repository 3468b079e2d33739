#pragma once
// Owners and access lists as a test sets them: every path has no untrusted
// writer unless the test names some, or a failure to read them.
#include <map>
#include <mutex>

#include "platform/file_access.h"

namespace platform {

class SimulatedFileAccess : public FileAccess {
 public:
  // Test API.
  void set_writers(const std::wstring& path, std::vector<std::wstring> writers);
  void set_failure(const std::wstring& path, uint32_t code);

  core::Result<std::vector<std::wstring>> untrusted_writers(const std::wstring& path) override;

 private:
  std::mutex mutex_;
  std::map<std::wstring, core::Result<std::vector<std::wstring>>> paths_;
};

}  // namespace platform
