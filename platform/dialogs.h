#pragma once
#include <string>

namespace platform {

enum class DialogIcon { Error, Information };

// Messages for a person at the desktop.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A modal message with one "OK" button. Without a desktop to show it on,
  // the text goes to the standard error stream instead.
  virtual void show_message(const std::wstring& caption, const std::wstring& text, DialogIcon icon) = 0;
  // Whether a box could be seen and closed by anyone: false for a process
  // whose window station is not visible (a service, a tool run as the
  // system account in session 0), where a box would wait for ever.
  virtual bool visible_window_station() = 0;
  // "caption: text" on the standard error stream, for whoever reads it.
  virtual void write_error(const std::wstring& caption, const std::wstring& text) = 0;
};

}  // namespace platform
