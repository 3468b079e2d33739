// platform/file_access.h as a stand-in: the writers a test sets.
#include "platform/sim/file_access.h"

namespace platform {

void SimulatedFileAccess::set_writers(const std::wstring& path, std::vector<std::wstring> writers) {
  std::lock_guard lock(mutex_);
  paths_.insert_or_assign(path, std::move(writers));
}

core::Result<std::vector<std::wstring>> SimulatedFileAccess::untrusted_writers(const std::wstring& path) {
  if (core::Status planned = faults.Next("untrusted_writers"); !planned.ok()) return planned;
  std::lock_guard lock(mutex_);
  auto it = paths_.find(path);
  if (it == paths_.end()) return std::vector<std::wstring>{};
  return it->second;
}

}  // namespace platform
