#include "platform/registry_keys.h"

#include <algorithm>
#include <string_view>

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
  std::wstring text =
      core::FromUtf16Bytes(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()));
  text.resize(std::min(text.size(), text.find(L'\0')));  // up to the first NUL, as stored strings end
  return text;
}

}  // namespace platform
