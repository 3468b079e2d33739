#pragma once
// Posix stand-ins for the service host's platform services.
#include "platform/console.h"
#include "platform/dialogs.h"

namespace platform::posix {

class StdoutConsole : public Console {
 public:
  core::Status write_text(const std::wstring& text) override;
};

class StderrDialogs : public Dialogs {
 public:
  void show_message(const std::wstring& caption, const std::wstring& text, DialogIcon icon) override;
  bool visible_window_station() override;
  void write_error(const std::wstring& caption, const std::wstring& text) override;
};

}  // namespace platform::posix
