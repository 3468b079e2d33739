#include "core/utf.h"

#include <cstdint>

namespace core {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || IsSurrogate(c)) c = kReplacement;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendWide(std::wstring& out, char32_t c) {
  if (c > 0x10FFFF || IsSurrogate(c)) c = kReplacement;
  if constexpr (sizeof(wchar_t) == 2) {
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (c >> 10));
      out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
      return;
    }
  }
  out += static_cast<wchar_t>(c);
}

// Reads one code point from UTF-16 units at i, advancing i.
template <class Unit>
char32_t NextFromUtf16(const Unit* units, size_t size, size_t& i) {
  char32_t c = static_cast<char32_t>(static_cast<uint16_t>(units[i++]));
  if (c >= 0xD800 && c <= 0xDBFF && i < size) {
    char32_t low = static_cast<uint16_t>(units[i]);
    if (low >= 0xDC00 && low <= 0xDFFF) {
      ++i;
      return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
    }
  }
  return IsSurrogate(c) ? kReplacement : c;
}

char32_t NextFromWide(const std::wstring& text, size_t& i) {
  if constexpr (sizeof(wchar_t) == 2) return NextFromUtf16(text.data(), text.size(), i);
  return static_cast<char32_t>(text[i++]);
}

}  // namespace

std::string ToUtf8(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) AppendUtf8(out, NextFromWide(text, i));
  return out;
}

std::wstring FromUtf8(const std::string& bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<uint8_t>(bytes[i]);
    int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    if (extra < 0 || i + extra >= bytes.size()) {
      AppendWide(out, kReplacement);
      ++i;
      continue;
    }
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    bool valid = true;
    for (int k = 1; k <= extra; ++k) {
      const auto cont = static_cast<uint8_t>(bytes[i + k]);
      if ((cont & 0xC0) != 0x80) { valid = false; break; }
      c = (c << 6) | (cont & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (!valid || c < kMinimum[extra]) {
      AppendWide(out, kReplacement);
      ++i;
      continue;
    }
    AppendWide(out, c);
    i += extra + 1;
  }
  return out;
}

std::u16string ToUtf16(const std::wstring& text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t c = NextFromWide(text, i);
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::wstring FromUtf16(const std::u16string& units) {
  std::wstring out;
  out.reserve(units.size());
  for (size_t i = 0; i < units.size();) AppendWide(out, NextFromUtf16(units.data(), units.size(), i));
  return out;
}

std::wstring FromUtf16Bytes(std::string_view bytes, ByteOrder order) {
  auto byte = [&](size_t i) { return static_cast<char16_t>(static_cast<unsigned char>(bytes[i])); };
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    units += order == ByteOrder::LittleEndian ? static_cast<char16_t>(byte(i) | byte(i + 1) << 8)
                                              : static_cast<char16_t>(byte(i) << 8 | byte(i + 1));
  return FromUtf16(units);
}

}  // namespace core
