#pragma once
#include <string>
#include <string_view>

namespace core {

// wchar_t text is UTF-16 on Windows and UTF-32 on Linux; these convert
// between it, UTF-8 and UTF-16 whatever the width. Invalid input becomes
// U+FFFD rather than failing.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& bytes);
std::u16string ToUtf16(const std::wstring& text);
std::wstring FromUtf16(const std::u16string& units);

enum class ByteOrder { LittleEndian, BigEndian };
// UTF-16 text stored as bytes (registry values, INI files, XML), two to a
// unit; an odd last byte is no character and is dropped.
std::wstring FromUtf16Bytes(std::string_view bytes, ByteOrder order = ByteOrder::LittleEndian);

}  // namespace core
