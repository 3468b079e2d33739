#pragma once
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "platform/registry_keys.h"
#include "platform/sim/fault_plan.h"

namespace platform {

// An in-memory registry: the host backend's stand-in for the Windows
// registry, and the fake that portable tests fill. Key paths and value names
// match without regard to case, as on Windows.
class MemoryRegistryKeys : public RegistryKeys {
 public:
  core::Result<std::unique_ptr<RegistryKey>> open_local_machine(const std::wstring& path, uint32_t access,
                                                                bool create) override;

  // Test API.
  void set(const std::wstring& path, const std::wstring& name, const RegValue& value);
  void create_key(const std::wstring& path);
  void remove_value(const std::wstring& path, const std::wstring& name);
  void clear();
  bool key_exists(const std::wstring& path) const;
  std::optional<RegValue> get(const std::wstring& path, const std::wstring& name) const;
  // "open_key" is every open, "create_key" an open with create of a key that
  // does not exist yet.
  FaultPlan faults{"open_key", "create_key", "query_value", "write_value"};

 private:
  friend class MemoryKey;
  static std::wstring Fold(const std::wstring& text);
  static std::wstring Normalize(const std::wstring& path);

  mutable std::mutex mutex_;
  std::set<std::wstring> keys_;
  std::map<std::pair<std::wstring, std::wstring>, RegValue> values_;
};

}  // namespace platform
