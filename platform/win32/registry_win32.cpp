// HKEY_LOCAL_MACHINE as a 32-bit process sees it (the WOW64 32-bit view).
#include <windows.h>

#include "platform/registry.h"
#include "platform/win32/base_services.h"

namespace platform::win32 {
namespace {

class Win32RegistryKey : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override { RegCloseKey(key_); }

  std::optional<RegValue> query(const std::wstring& name) override {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    RegValue value;
    value.data.resize(size);
    if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, value.data.data(), &size) != ERROR_SUCCESS)
      return std::nullopt;
    value.data.resize(size);
    value.type = static_cast<RegType>(type);
    return value;
  }

  bool write(const std::wstring& name, const RegValue& value) override {
    return RegSetValueExW(key_, name.c_str(), 0, static_cast<DWORD>(value.type), value.data.data(),
                          static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
  }

 private:
  HKEY key_;
};

}  // namespace

std::unique_ptr<RegistryKey> Win32Registry::open_local_machine(const std::wstring& path, uint32_t access,
                                                               bool create) {
  const REGSAM sam = access | KEY_WOW64_32KEY;
  HKEY key = nullptr;
  LONG rc;
  if (create) {
    rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr,
                         &key, nullptr);
  } else {
    rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, sam, &key);
  }
  if (rc != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(rc));
    return nullptr;
  }
  return std::make_unique<Win32RegistryKey>(key);
}

}  // namespace platform::win32
