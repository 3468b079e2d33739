#pragma once
#include <string>

namespace base {

// Removes every character with a code of 32 or less from both ends.
std::wstring Trim(const std::wstring& text);
// Upper case for the letters a to z only; everything else stays.
std::wstring UpperCaseAscii(const std::wstring& text);
bool SameTextAscii(const std::wstring& a, const std::wstring& b);

}  // namespace base
