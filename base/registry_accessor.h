#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/registry_keys.h"

namespace base {

// Registry access under HKEY_LOCAL_MACHINE with the reading rules the
// service relies on. A path with a leading backslash is absolute; without
// one it is taken below the open key. A key that does not open leaves the
// previously open key current.
class RegistryAccessor {
 public:
  explicit RegistryAccessor(uint32_t access) : access_(access) {}

  bool OpenKey(const std::wstring& key, bool canCreate);
  void CloseKey();
  bool HasCurrentKey() const { return current_ != nullptr; }

  // Missing, or more than 4 bytes: "Failed to get data for '%s'";
  // not a 32-bit number: "Invalid data type for '%s'".
  int32_t ReadInteger(const std::wstring& name);
  bool ReadBool(const std::wstring& name) { return ReadInteger(name) != 0; }
  // Missing or empty: ""; not a string type: "Invalid data type for '%s'".
  std::wstring ReadString(const std::wstring& name);
  bool ValueExists(const std::wstring& name);
  // "Failed to set data for '%s'" when the write fails.
  void WriteString(const std::wstring& name, const std::wstring& value);

 private:
  core::Result<platform::RegValue> Query(const std::wstring& name);

  uint32_t access_;
  std::wstring current_path_;
  std::unique_ptr<platform::RegistryKey> current_;
};

}  // namespace base
