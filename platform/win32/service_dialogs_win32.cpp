#include <windows.h>

#include "core/utf.h"
#include "platform/win32/service_services.h"

namespace platform::win32 {

// Without a desktop (a service, or Wine with no display) the box cannot
// be shown and the text goes to stderr instead. The failure is 0 on
// Windows and -1 under Wine; a shown box answers IDOK.
void Win32Dialogs::show_message(const std::wstring& caption, const std::wstring& text, DialogIcon icon) {
  const UINT style = MB_OK | MB_TASKMODAL | (icon == DialogIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION);
  if (MessageBoxW(nullptr, text.c_str(), caption.c_str(), style) > 0) return;
  const std::string line = core::ToUtf8(caption + L": " + text + L"\n");
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace platform::win32
