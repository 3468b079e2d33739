#include "platform/registry_keys.h"

#include "core/utf.h"

namespace platform {

RegValue reg_string(const std::wstring& text, RegType type) {
  RegValue value{type, {}};
  for (char16_t unit : core::ToUtf16(text)) {
    value.data.push_back(static_cast<uint8_t>(unit & 0xFF));
    value.data.push_back(static_cast<uint8_t>((unit >> 8) & 0xFF));
  }
  value.data.push_back(0);
  value.data.push_back(0);
  return value;
}

RegValue reg_dword(uint32_t number) {
  RegValue value{RegType::Dword, {}};
  for (int shift = 0; shift < 32; shift += 8) value.data.push_back(static_cast<uint8_t>(number >> shift));
  return value;
}

std::wstring reg_text(const RegValue& value) {
  std::u16string units;
  for (size_t i = 0; i + 1 < value.data.size(); i += 2) {
    const auto unit = static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8));
    if (unit == 0) break;
    units += unit;
  }
  return core::FromUtf16(units);
}

}  // namespace platform
