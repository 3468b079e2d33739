#include "platform/registry.h"

#include "base/utf.h"

namespace platform {

RegValue reg_string(const std::wstring& text, RegType type) {
  RegValue value{type, {}};
  for (char16_t unit : base::ToUtf16(text)) {
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

}  // namespace platform
