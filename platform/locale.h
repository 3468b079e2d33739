#pragma once
#include <string>

namespace platform {

// The process's regional settings.
class Locale {
 public:
  virtual ~Locale() = default;
  // Abbreviated day name, weekday 1 = Sunday .. 7 = Saturday (format "ddd").
  virtual std::wstring short_day_name(int weekday) = 0;
  virtual wchar_t date_separator() = 0;
  virtual wchar_t time_separator() = 0;
  virtual wchar_t decimal_separator() = 0;
};

}  // namespace platform
