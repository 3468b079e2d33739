#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/status.h"

namespace platform {

// Raw value types as the registry stores them.
enum class RegType : uint32_t {
  None = 0,
  String = 1,        // REG_SZ
  ExpandString = 2,  // REG_EXPAND_SZ
  Binary = 3,        // REG_BINARY
  Dword = 4,         // REG_DWORD
  MultiString = 7,   // REG_MULTI_SZ
  Qword = 11,        // REG_QWORD
};

struct RegValue {
  RegType type = RegType::None;
  std::vector<uint8_t> data;  // as stored; strings are UTF-16LE with NUL
};

constexpr uint32_t kKeyAllAccess = 0xF003F;
constexpr uint32_t kKeyReadWrite = 0x2001F;
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeySetValue = 0x0002;

// The system's codes the registry reports on both targets.
constexpr uint32_t kRegistryNotFound = 2;      // key or value missing
constexpr uint32_t kRegistryAccessDenied = 5;  // e.g. a write through a key opened to read

class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // The stored value, whatever its type; kRegistryNotFound when missing.
  virtual core::Result<RegValue> query(const std::wstring& name) = 0;
  virtual core::Status write(const std::wstring& name, const RegValue& value) = 0;
};

// Keys under HKEY_LOCAL_MACHINE, as a 32-bit process sees them.
class RegistryKeys {
 public:
  virtual ~RegistryKeys() = default;
  // Path without a leading backslash; with create, a missing key (and its
  // parents) is created. kRegistryNotFound when it is missing otherwise.
  virtual core::Result<std::unique_ptr<RegistryKey>> open_local_machine(const std::wstring& path,
                                                                        uint32_t access, bool create) = 0;
};

// Helpers to build raw values (UTF-16LE strings, little-endian numbers).
RegValue reg_string(const std::wstring& text, RegType type = RegType::String);
RegValue reg_dword(uint32_t value);
// The text of a string value, up to its first NUL.
std::wstring reg_text(const RegValue& value);

}  // namespace platform
