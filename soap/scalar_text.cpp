#include "soap/scalar_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/text.h"

namespace soap {

std::wstring IntegerToSoap(int32_t value) { return std::to_wstring(value); }

namespace {

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Fixed or scientific text from the significant digits and the exponent e of
// 0.d1d2... times ten to the e.
std::string GeneralForm(const std::string& digits, int e) {
  std::string out;
  if (e >= -3 && e <= 15) {
    if (e >= 1) {
      for (int i = 0; i < e; ++i) out += i < static_cast<int>(digits.size()) ? digits[i] : '0';
      if (static_cast<int>(digits.size()) > e) out += "." + digits.substr(e);
    } else {
      out = "0." + std::string(-e, '0') + digits;
    }
    return out;
  }
  out += digits[0];
  if (digits.size() > 1) out += "." + digits.substr(1);
  out += "E";
  int exponent = e - 1;
  if (exponent < 0) out += "-";
  out += std::to_string(exponent < 0 ? -exponent : exponent);
  return out;
}

}  // namespace

std::wstring DoubleToSoap(double value) {
  if (std::isnan(value)) return L"NaN";
  if (std::isinf(value)) return value > 0 ? L"INF" : L"-INF";
  if (value == 0) return L"0";
  // d.dddddddddddddde±x: 15 significant digits, correctly rounded.
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                 std::chars_format::scientific, 14);
  std::string text(buffer, end);
  size_t e_at = text.find('e');
  std::string digits = text.substr(0, 1) + text.substr(2, e_at - 2);
  int exponent = std::stoi(text.substr(e_at + 1)) + 1;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  return Widen((value < 0 ? "-" : "") + GeneralForm(digits, exponent));
}

namespace {

[[noreturn]] void BadInteger(const std::wstring& text) {
  throw core::EConvertError(core::Format(L"''%s'' is not a valid integer value", {text}));
}

[[noreturn]] void BadDouble(const std::wstring& text) {
  throw core::EConvertError(core::Format(L"'%s' is not a valid floating point value", {text}));
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

size_t HexPrefixLength(const std::wstring& t, size_t at) {
  if (t.compare(at, 2, L"0x") == 0 || t.compare(at, 2, L"0X") == 0) return 2;
  if (at < t.size() && (t[at] == L'$' || t[at] == L'x' || t[at] == L'X')) return 1;
  return 0;
}

}  // namespace

int32_t SoapToInteger(const std::wstring& raw) {
  const std::wstring t = core::Trim(raw);
  size_t at = 0;
  bool negative = false;
  if (at < t.size() && (t[at] == L'+' || t[at] == L'-')) negative = t[at++] == L'-';
  if (size_t prefix = HexPrefixLength(t, at)) {
    at += prefix;
    size_t count = t.size() - at;
    if (count == 0 || count > 8) BadInteger(t);
    uint32_t pattern = 0;
    for (; at < t.size(); ++at) {
      int d = HexDigit(t[at]);
      if (d < 0) BadInteger(t);
      pattern = pattern << 4 | static_cast<uint32_t>(d);
    }
    uint32_t result = negative ? 0u - pattern : pattern;
    return static_cast<int32_t>(result);
  }
  if (at == t.size()) BadInteger(t);
  int64_t value = 0;
  for (; at < t.size(); ++at) {
    if (t[at] < L'0' || t[at] > L'9') BadInteger(t);
    value = value * 10 + (t[at] - L'0');
    if (value > int64_t{1} << 31) BadInteger(t);
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min()) BadInteger(t);
  return static_cast<int32_t>(value);
}

namespace {

// Optional sign, digits with at most one ".", at least one digit, optional
// exponent with digits; nothing else.
bool IsDecimalNumber(const std::wstring& t) {
  size_t at = 0, digits = 0;
  if (at < t.size() && (t[at] == L'+' || t[at] == L'-')) ++at;
  while (at < t.size() && t[at] >= L'0' && t[at] <= L'9') ++at, ++digits;
  if (at < t.size() && t[at] == L'.') {
    ++at;
    while (at < t.size() && t[at] >= L'0' && t[at] <= L'9') ++at, ++digits;
  }
  if (digits == 0) return false;
  if (at < t.size() && (t[at] == L'e' || t[at] == L'E')) {
    ++at;
    if (at < t.size() && (t[at] == L'+' || t[at] == L'-')) ++at;
    size_t exponent_digits = 0;
    while (at < t.size() && t[at] >= L'0' && t[at] <= L'9') ++at, ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  return at == t.size();
}

}  // namespace

double SoapToDouble(const std::wstring& raw) {
  const std::wstring t = core::Trim(raw);
  if (core::SameTextAscii(t, L"NaN")) return std::numeric_limits<double>::quiet_NaN();
  if (core::SameTextAscii(t, L"INF")) return std::numeric_limits<double>::infinity();
  if (core::SameTextAscii(t, L"-INF")) return -std::numeric_limits<double>::infinity();
  if (!IsDecimalNumber(t)) BadDouble(t);
  std::string narrow(t.begin(), t.end());  // ASCII only, checked above
  const char* first = narrow.data();
  bool negative = *first == '-';
  if (*first == '+' || *first == '-') ++first;
  double value = 0;
  auto [end, ec] = std::from_chars(first, narrow.data() + narrow.size(), value, std::chars_format::general);
  if (ec != std::errc() || end != narrow.data() + narrow.size()) BadDouble(t);
  return negative ? -value : value;
}

}  // namespace soap
