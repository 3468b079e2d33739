#include "service/administrator_message.h"

#include "base/paths.h"
#include "platform/host.h"
#include "platform/process_info.h"
#include "service/event_logger.h"

namespace service {

void TellAdministrator(const std::wstring& caption, const std::wstring& text, platform::DialogIcon icon) {
  platform::Dialogs& dialogs = *platform::host().dialogs;
  if (dialogs.visible_window_station()) {
    dialogs.show_message(caption, text, icon);
    return;
  }
  dialogs.write_error(caption, text);
  if (icon == platform::DialogIcon::Error)
    TEventLogger(base::ExtractFileName(platform::host().process->executable_path())).LogMessage(text);
}

}  // namespace service
