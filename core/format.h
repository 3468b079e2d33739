#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <variant>

namespace core {

using FormatArg = std::variant<std::wstring, int64_t>;

// Fills "%s" and "%d" (also "%u", "%x", "%p" and "%%") in order from args.
// A placeholder without a matching argument raises EConvertError, as does a
// text argument for a number placeholder.
std::wstring Format(const std::wstring& pattern, std::initializer_list<FormatArg> args);

}  // namespace core
