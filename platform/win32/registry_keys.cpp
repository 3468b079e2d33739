// platform/registry_keys.h on the registry API (advapi32 Reg*).
// HKEY_LOCAL_MACHINE as a 32-bit process sees it (the WOW64 32-bit view).
#include <windows.h>

#include "platform/registry_keys.h"
#include "platform/win32/base_services.h"

namespace platform::win32 {
namespace {

core::Status FromCode(LONG rc) {
  return rc == ERROR_SUCCESS ? core::Status::Ok() : core::Status::SystemError(static_cast<uint32_t>(rc));
}

class Win32RegistryKey : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override { RegCloseKey(key_); }

  core::Result<RegValue> query(const std::wstring& name) override {
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, &size);
    RegValue value;
    // The value may grow between asking its size and reading it.
    while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
      value.data.resize(size);
      rc = RegQueryValueExW(key_, name.c_str(), nullptr, &type, value.data.data(), &size);
      if (rc == ERROR_SUCCESS) {
        value.data.resize(size);
        value.type = static_cast<RegType>(type);
        return value;
      }
    }
    return FromCode(rc);
  }

  core::Status write(const std::wstring& name, const RegValue& value) override {
    return FromCode(RegSetValueExW(key_, name.c_str(), 0, static_cast<DWORD>(value.type), value.data.data(),
                                   static_cast<DWORD>(value.data.size())));
  }

 private:
  HKEY key_;
};

}  // namespace

core::Result<std::unique_ptr<RegistryKey>> Win32RegistryKeys::open_local_machine(
    const std::wstring& path, uint32_t access, bool create) {
  const REGSAM sam = access | KEY_WOW64_32KEY;
  HKEY key = nullptr;
  LONG rc;
  if (create) {
    rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr,
                         &key, nullptr);
  } else {
    rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, sam, &key);
  }
  if (rc != ERROR_SUCCESS) return FromCode(rc);
  return std::unique_ptr<RegistryKey>(std::make_unique<Win32RegistryKey>(key));
}

}  // namespace platform::win32
