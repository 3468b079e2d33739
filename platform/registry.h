#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // nullopt when the value cannot be read (missing, or any other failure).
  virtual std::optional<RegValue> query(const std::wstring& name) = 0;
  // Returns false when the write fails.
  virtual bool write(const std::wstring& name, const RegValue& value) = 0;
};

// Keys under HKEY_LOCAL_MACHINE, as a 32-bit process sees them.
class Registry {
 public:
  virtual ~Registry() = default;
  // Path without a leading backslash. nullptr when it cannot be opened
  // (or created, with create == true).
  virtual std::unique_ptr<RegistryKey> open_local_machine(const std::wstring& path,
                                                          uint32_t access, bool create) = 0;
};

// Helpers to build raw values (UTF-16LE strings, little-endian numbers).
RegValue reg_string(const std::wstring& text, RegType type = RegType::String);
RegValue reg_dword(uint32_t value);
// The text of a string value, up to its first NUL.
std::wstring reg_text(const RegValue& value);

}  // namespace platform
