#pragma once
// Posix stand-ins for the service host's platform services.
#include "platform/dialogs.h"

namespace platform::posix {

class StderrDialogs : public Dialogs {
 public:
  void show_message(const std::wstring& caption, const std::wstring& text, DialogIcon icon) override;
};

}  // namespace platform::posix
