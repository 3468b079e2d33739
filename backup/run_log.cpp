#include "backup/run_log.h"

#include <cwchar>

#include "backup/backup_paths.h"
#include "backup/stored_names.h"
#include "base/ini_file.h"
#include "platform/host.h"
#include "platform/locale.h"

namespace backup {

std::wstring RunLogTimestamp(base::TDateTime when) {
  const platform::LocalTime t = base::DecodeDateTime(when);
  const wchar_t d = platform::host().locale->date_separator();
  const wchar_t c = platform::host().locale->time_separator();
  wchar_t text[64];
  std::swprintf(text, 64, L"%02u%lc%02u%lc%04u %02u%lc%02u%lc%02u", unsigned{t.day}, static_cast<wint_t>(d),
                unsigned{t.month}, static_cast<wint_t>(d), unsigned{t.year}, unsigned{t.hour},
                static_cast<wint_t>(c), unsigned{t.minute}, static_cast<wint_t>(c), unsigned{t.second});
  return text;
}

namespace {

// A field of `width` digits at `at`, or -1.
int Digits(const std::wstring& text, size_t at, size_t width) {
  int value = 0;
  for (size_t i = at; i < at + width; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return -1;
    value = value * 10 + (text[i] - L'0');
  }
  return value;
}

bool IsSeparator(wchar_t c) { return c != L' ' && (c < L'0' || c > L'9'); }

}  // namespace

std::optional<base::TDateTime> ParseRunLogTimestamp(const std::wstring& text) {
  // The separators are not compared with today's locale: one changed since
  // the launch must not hide that it happened.
  if (text.size() != 19 || text[10] != L' ') return std::nullopt;
  for (size_t at : {2, 5, 13, 16})
    if (!IsSeparator(text[at])) return std::nullopt;
  platform::LocalTime t;
  const int fields[] = {Digits(text, 0, 2),  Digits(text, 3, 2),  Digits(text, 6, 4),
                        Digits(text, 11, 2), Digits(text, 14, 2), Digits(text, 17, 2)};
  for (int f : fields)
    if (f < 0) return std::nullopt;
  t.day = static_cast<uint16_t>(fields[0]);
  t.month = static_cast<uint16_t>(fields[1]);
  t.year = static_cast<uint16_t>(fields[2]);
  t.hour = static_cast<uint16_t>(fields[3]);
  t.minute = static_cast<uint16_t>(fields[4]);
  t.second = static_cast<uint16_t>(fields[5]);
  if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1 || t.hour > 23 || t.minute > 59 || t.second > 59)
    return std::nullopt;
  const base::TDateTime when = base::ToDateTime(t);
  // A day past the month's end (31/02) comes back as another date.
  const platform::LocalTime back = base::DecodeDateTime(when);
  if (back.day != t.day || back.month != t.month || back.year != t.year) return std::nullopt;
  return when;
}

std::optional<base::TDateTime> RecordedLaunch() {
  return ParseRunLogTimestamp(base::TIniFile(RunLogPath()).ReadString(kRunLogSection, kRunLogExecuted, L""));
}

}  // namespace backup
