#pragma once
// Turns a fuzzer's bytes into wide text that mutates well from readable
// seeds: a byte is the character of that code, and 0xFF followed by two
// bytes is any UTF-16 unit (lone surrogates too), as Windows text may hold.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace testing_support {

inline constexpr uint8_t kWideEscape = 0xFF;

// Consumes up to `stop` (not included, not consumed) or the end.
inline std::wstring WideText(const uint8_t*& data, const uint8_t* end, int stop = -1) {
  std::wstring text;
  while (data < end && *data != stop) {
    if (*data == kWideEscape && end - data >= 3) {
      text += static_cast<wchar_t>(data[1] | (data[2] << 8));
      data += 3;
    } else {
      text += static_cast<wchar_t>(*data++);
    }
  }
  return text;
}

// The text with every code outside printable ASCII as \u{...}, for a report.
inline std::string Escaped(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    if (c >= 0x20 && c < 0x7F && c != L'\\') {
      out += static_cast<char>(c);
    } else {
      char code[16];
      std::snprintf(code, sizeof code, "\\u{%X}", static_cast<unsigned>(c));
      out += code;
    }
  }
  return out;
}

// A broken promise is a finding: libFuzzer keeps the input that caused it.
[[noreturn]] inline void Violation(const char* property, const std::wstring& input, const std::wstring& output) {
  std::fprintf(stderr, "PROPERTY VIOLATED: %s\n  input:  \"%s\"\n  output: \"%s\"\n", property,
               Escaped(input).c_str(), Escaped(output).c_str());
  std::abort();
}

}  // namespace testing_support
