// platform/dialogs.h on stderr.
// Linux has no desktop for a service's dialogs: the text goes to stderr.
#include <iostream>

#include "core/utf.h"
#include "platform/posix/service_services.h"

namespace platform::posix {

void StderrDialogs::show_message(const std::wstring& caption, const std::wstring& text, DialogIcon) {
  write_error(caption, text);
}

bool StderrDialogs::visible_window_station() { return false; }

void StderrDialogs::write_error(const std::wstring& caption, const std::wstring& text) {
  std::cerr << core::ToUtf8(caption) << ": " << core::ToUtf8(text) << std::endl;
}

}  // namespace platform::posix
