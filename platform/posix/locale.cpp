// platform/locale.h on the C library's locales.
// Regional settings from the environment's locale (LC_TIME, LC_NUMERIC).
#include <langinfo.h>
#include <locale.h>

#include <cwchar>

#include "core/utf.h"
#include "platform/posix/base_services.h"

namespace platform::posix {
namespace {

locale_t ProcessLocale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
    return l ? l : newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  }();
  return loc;
}

std::wstring Info(nl_item item) { return core::FromUtf8(nl_langinfo_l(item, ProcessLocale())); }

// The first character between two fields of a format such as "%d/%m/%Y".
wchar_t SeparatorOf(const std::wstring& format, wchar_t fallback) {
  for (size_t i = 0; i + 2 < format.size(); ++i)
    if (format[i] == L'%' && format[i + 2] != L'%') return format[i + 2];
  return fallback;
}

}  // namespace

std::wstring PosixLocale::short_day_name(int weekday) {
  if (weekday < 1 || weekday > 7) return L"";
  return Info(static_cast<nl_item>(ABDAY_1 + weekday - 1));
}

wchar_t PosixLocale::date_separator() { return SeparatorOf(Info(D_FMT), L'/'); }

wchar_t PosixLocale::time_separator() { return SeparatorOf(Info(T_FMT), L':'); }

wchar_t PosixLocale::decimal_separator() {
  std::wstring radix = Info(RADIXCHAR);
  return radix.empty() ? L'.' : radix[0];
}

}  // namespace platform::posix
