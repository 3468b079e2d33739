#pragma once
// Owners and access lists as a test sets them: every path has no untrusted
// writer unless the test names some.
#include <map>
#include <mutex>

#include "platform/file_access.h"
#include "platform/sim/fault_plan.h"

namespace platform {

class SimulatedFileAccess : public FileAccess {
 public:
  // Test API.
  void set_writers(const std::wstring& path, std::vector<std::wstring> writers);
  FaultPlan faults{"untrusted_writers"};

  core::Result<std::vector<std::wstring>> untrusted_writers(const std::wstring& path) override;

 private:
  std::mutex mutex_;
  std::map<std::wstring, std::vector<std::wstring>> paths_;
};

}  // namespace platform
