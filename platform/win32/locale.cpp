// platform/locale.h on the NLS functions (GetLocaleInfoW).
#include <windows.h>

#include "platform/win32/base_services.h"

namespace platform::win32 {
namespace {

std::wstring Info(LCTYPE type) {
  wchar_t buffer[128] = {};
  int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 128);
  return n > 0 ? std::wstring(buffer, n - 1) : std::wstring();
}

wchar_t FirstOf(LCTYPE type, wchar_t fallback) {
  std::wstring text = Info(type);
  return text.empty() ? fallback : text[0];
}

}  // namespace

std::wstring Win32Locale::short_day_name(int weekday) {
  if (weekday < 1 || weekday > 7) return L"";
  // The locale's list starts on Monday; weekday 1 is Sunday.
  return Info(LOCALE_SABBREVDAYNAME1 + (weekday + 5) % 7);
}

wchar_t Win32Locale::date_separator() { return FirstOf(LOCALE_SDATE, L'/'); }
wchar_t Win32Locale::time_separator() { return FirstOf(LOCALE_STIME, L':'); }
wchar_t Win32Locale::decimal_separator() { return FirstOf(LOCALE_SDECIMAL, L'.'); }

}  // namespace platform::win32
