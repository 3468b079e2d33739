// Feeds arbitrary answers to the field and digit extraction of the request
// poll and checks what they promise rather than only that they do not
// crash. The input is a first byte, whose low three bits pick the field
// (0 to 7) and the next two the locale's decimal separator, then the answer.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "backup/request_poll.h"
#include "platform/host.h"
#include "platform/locale.h"
#include "tests/support/fuzz_text.h"

namespace {

using testing_support::Violation;

class SeparatorLocale : public platform::Locale {
 public:
  wchar_t separator = L',';
  std::wstring short_day_name(int) override { return L"dom"; }
  wchar_t date_separator() override { return L'/'; }
  wchar_t time_separator() override { return L':'; }
  wchar_t decimal_separator() override { return separator; }
};

SeparatorLocale locale;

// Separators regional settings offer (never a digit or a sign), and the bar.
constexpr wchar_t kSeparators[] = {L',', L'.', L'\u066B', L'|'};

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsSign(wchar_t c) { return c == L'+' || c == L'-'; }
bool IsTrimmed(wchar_t c) { return c <= L' '; }

std::wstring Digits(const std::wstring& text) {
  std::wstring digits;
  for (wchar_t c : text)
    if (IsDigit(c)) digits += c;
  return digits;
}

bool IsSubsequence(const std::wstring& part, const std::wstring& whole) {
  size_t at = 0;
  for (wchar_t c : part) {
    at = whole.find(c, at);
    if (at == std::wstring::npos) return false;
    ++at;
  }
  return true;
}

// The fields between bars, split independently of PipeField's own walk.
std::vector<std::wstring> Fields(const std::wstring& text) {
  std::vector<std::wstring> fields(1);
  for (wchar_t c : text) {
    if (c == L'|') fields.emplace_back();
    else fields.back() += c;
  }
  return fields;
}

std::wstring Trimmed(const std::wstring& text) {
  size_t first = 0, last = text.size();
  while (first < last && IsTrimmed(text[first])) ++first;
  while (last > first && IsTrimmed(text[last - 1])) --last;
  return text.substr(first, last - first);
}

void CheckPipeField(int32_t n, const std::wstring& answer) {
  const std::wstring field = backup::PipeField(n, answer);
  if (field.find(L'|') != std::wstring::npos) Violation("PipeField kept a bar", answer, field);
  if (!field.empty() && (IsTrimmed(field.front()) || IsTrimmed(field.back())))
    Violation("PipeField left a blank or control character at an end", answer, field);
  const std::vector<std::wstring> fields = Fields(answer);
  const std::wstring expected = n < static_cast<int32_t>(fields.size()) ? Trimmed(fields[n]) : L"";
  if (field != expected) Violation("PipeField took another field than the N-th", answer, field);
}

void CheckDigitsOnly(const std::wstring& text) {
  const wchar_t separator = locale.separator;
  const std::wstring kept = backup::DigitsOnly(text);
  if (!IsSubsequence(kept, text)) Violation("DigitsOnly grew or reordered the text", text, kept);
  if (Digits(kept) != Digits(text)) Violation("DigitsOnly lost a digit", text, kept);
  size_t separators = 0;
  for (size_t i = 0; i < kept.size(); ++i) {
    const wchar_t c = kept[i];
    if (c == separator) ++separators;
    else if (IsSign(c) && !(i == 0 && text[0] == c)) Violation("DigitsOnly kept a sign that was not first", text, kept);
    else if (!IsDigit(c) && !IsSign(c)) Violation("DigitsOnly kept what is no digit, sign or separator", text, kept);
  }
  const size_t last = text.rfind(separator);
  if (separators != (last == std::wstring::npos ? 0u : 1u))
    Violation("DigitsOnly did not keep exactly one separator when the text has one", text, kept);
  if (last != std::wstring::npos && Digits(kept.substr(kept.find(separator))) != Digits(text.substr(last)))
    Violation("DigitsOnly kept a separator other than the rightmost", text, kept);
  if (!text.empty() && IsSign(text[0]) && kept.substr(0, 1) != text.substr(0, 1))
    Violation("DigitsOnly dropped the leading sign", text, kept);
}

void CheckCompanyNumber(const std::wstring& field) {
  const std::wstring digits = backup::CompanyNumberDigits(field);
  if (digits != Digits(field)) Violation("the company number is not the field's digits", field, digits);
  if (!digits.empty() && !backup::RequestNamesInstallation(L"REQ|" + field, digits))
    Violation("a request naming this installation's number does not match it", field, digits);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  platform::install_default_host();
  platform::host().locale = &locale;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int32_t n = data[0] % 8;
  locale.separator = kSeparators[(data[0] >> 3) % std::size(kSeparators)];
  const uint8_t* at = data + 1;
  const std::wstring answer = testing_support::WideText(at, data + size);

  CheckPipeField(n, answer);
  const std::wstring field = backup::PipeField(1, answer);
  CheckDigitsOnly(answer);
  CheckDigitsOnly(field);
  CheckCompanyNumber(field);
  return 0;
}
