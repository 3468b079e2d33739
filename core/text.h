#pragma once
#include <string>

namespace core {

// Removes every character with a code of 32 or less from both ends.
std::wstring Trim(const std::wstring& text);
// Without the CR and LF characters at its end, as system messages and
// header lines come.
std::wstring WithoutTrailingLineBreaks(std::wstring text);
std::string WithoutTrailingLineBreaks(std::string text);
// Each line break (CR LF, CR or LF) and every other character below 32
// becomes one blank, so the text stays on one line.
std::wstring OnOneLine(const std::wstring& text);
// Upper case for the letters a to z only; everything else stays.
std::wstring UpperCaseAscii(const std::wstring& text);
bool SameTextAscii(const std::wstring& a, const std::wstring& b);
// Equal without regard to letter case, for every letter the C runtime knows
// (names of services, keys and values, which the system compares that way).
bool SameTextIgnoringCase(const std::wstring& a, const std::wstring& b);

}  // namespace core
