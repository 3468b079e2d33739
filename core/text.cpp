#include "core/text.h"

#include <cwctype>
#include <utility>

namespace core {

std::wstring Trim(const std::wstring& text) {
  size_t first = 0, last = text.size();
  while (first < last && static_cast<uint32_t>(text[first]) <= 32) ++first;
  while (last > first && static_cast<uint32_t>(text[last - 1]) <= 32) --last;
  return text.substr(first, last - first);
}

namespace {

template <class Text>
Text DropTrailingLineBreaks(Text text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

}  // namespace

std::wstring WithoutTrailingLineBreaks(std::wstring text) { return DropTrailingLineBreaks(std::move(text)); }

std::string WithoutTrailingLineBreaks(std::string text) { return DropTrailingLineBreaks(std::move(text)); }

std::wstring OnOneLine(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;  // the LF makes the blank
    out += static_cast<uint32_t>(c) < 32 ? L' ' : c;
  }
  return out;
}

std::wstring UpperCaseAscii(const std::wstring& text) {
  std::wstring out = text;
  for (wchar_t& c : out)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  return out;
}

bool SameTextAscii(const std::wstring& a, const std::wstring& b) {
  return UpperCaseAscii(a) == UpperCaseAscii(b);
}

bool SameTextIgnoringCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i]))) return false;
  return true;
}

}  // namespace core
