// platform/dialogs.h on user32 (MessageBoxW, the window station).
#include <windows.h>

#include "core/utf.h"
#include "platform/win32/service_services.h"

namespace platform::win32 {

// Without a desktop (Wine with no display) the box cannot be shown and
// the text goes to stderr instead. The failure is 0 on Windows and -1
// under Wine; a shown box answers IDOK.
void Win32Dialogs::show_message(const std::wstring& caption, const std::wstring& text, DialogIcon icon) {
  const UINT style = MB_OK | MB_TASKMODAL | (icon == DialogIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION);
  if (MessageBoxW(nullptr, text.c_str(), caption.c_str(), style) > 0) return;
  write_error(caption, text);
}

bool Win32Dialogs::visible_window_station() {
  HWINSTA station = GetProcessWindowStation();
  if (!station) return false;
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  if (!GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed)) return false;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

void Win32Dialogs::write_error(const std::wstring& caption, const std::wstring& text) {
  const std::string line = core::ToUtf8(caption + L": " + text + L"\n");
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace platform::win32
