#pragma once
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/registry.h"
#include "platform/sim/fault_plan.h"

namespace platform {

// An in-memory registry: the host backend's stand-in for the Windows
// registry, and the fake that portable tests fill. Key paths and value names
// match without regard to case, as on Windows.
class MemoryRegistry : public Registry {
 public:
  std::unique_ptr<RegistryKey> open_local_machine(const std::wstring& path, uint32_t access,
                                                  bool create) override;

  // Test API.
  void set(const std::wstring& path, const std::wstring& name, const RegValue& value);
  void create_key(const std::wstring& path);
  void remove_value(const std::wstring& path, const std::wstring& name);
  void clear();
  bool key_exists(const std::wstring& path) const;
  std::optional<RegValue> get(const std::wstring& path, const std::wstring& name) const;
  // Planned failures of "create_key": opening with create a key that does
  // not exist yet.
  FaultPlan faults;

 private:
  friend class MemoryRegistryKey;
  static std::wstring Fold(const std::wstring& text);
  static std::wstring Normalize(const std::wstring& path);

  mutable std::mutex mutex_;
  std::set<std::wstring> keys_;
  std::map<std::pair<std::wstring, std::wstring>, RegValue> values_;
};

}  // namespace platform
