#include "core/format.h"

#include <cwchar>
#include <vector>

#include "core/exceptions.h"

namespace core {
namespace {

std::wstring NumberText(wchar_t kind, int64_t n) {
  wchar_t buffer[32];
  switch (kind) {
    case L'd': std::swprintf(buffer, 32, L"%lld", static_cast<long long>(n)); break;
    case L'u': std::swprintf(buffer, 32, L"%llu", static_cast<unsigned long long>(n)); break;
    case L'x': std::swprintf(buffer, 32, L"%llX", static_cast<unsigned long long>(n)); break;
    default: std::swprintf(buffer, 32, L"%016llX", static_cast<unsigned long long>(n)); break;
  }
  return buffer;
}

[[noreturn]] void BadFormat(const std::wstring& pattern) {
  throw EConvertError(L"Format '" + pattern + L"' invalid or incompatible with argument");
}

}  // namespace

std::wstring Format(const std::wstring& pattern, std::initializer_list<FormatArg> args) {
  std::vector<FormatArg> list(args);
  std::wstring out;
  size_t next = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    wchar_t c = pattern[i];
    if (c != L'%' || i + 1 == pattern.size()) {
      out += c;
      continue;
    }
    wchar_t kind = pattern[++i];
    if (kind == L'%') {
      out += L'%';
      continue;
    }
    if (next >= list.size()) BadFormat(pattern);
    const FormatArg& arg = list[next++];
    if (kind == L's') {
      if (auto* text = std::get_if<std::wstring>(&arg)) out += *text;
      else out += NumberText(L'd', std::get<int64_t>(arg));
    } else if (kind == L'd' || kind == L'u' || kind == L'x' || kind == L'p') {
      auto* number = std::get_if<int64_t>(&arg);
      if (!number) BadFormat(pattern);
      out += NumberText(kind, *number);
    } else {
      BadFormat(pattern);
    }
  }
  return out;
}

}  // namespace core
