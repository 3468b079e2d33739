#pragma once
#include <string>

namespace platform {

enum class DialogIcon { Error, Information };

// A modal message with one "OK" button. Without a desktop to show it on,
// the text goes to the standard error stream instead.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual void show_message(const std::wstring& caption, const std::wstring& text, DialogIcon icon) = 0;
};

}  // namespace platform
