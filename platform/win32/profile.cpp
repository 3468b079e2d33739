// platform/profile.h on the profile functions (GetPrivateProfileStringW and kin).
#include <windows.h>

#include "platform/win32/base_services.h"

namespace platform::win32 {
namespace {

// A new INI file starts with a UTF-16 byte-order mark, so the profile
// functions keep it in Unicode and no character is lost to the ANSI page.
void CreateUnicodeFileIfMissing(const std::wstring& file) {
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;  // exists already, or cannot be made: the write will tell
  static const unsigned char kBom[] = {0xFF, 0xFE};
  DWORD written = 0;
  WriteFile(h, kBom, sizeof kBom, &written, nullptr);
  CloseHandle(h);
}

}  // namespace

core::Status Win32Profile::write_string(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                                const std::wstring& value) {
  CreateUnicodeFileIfMissing(file);
  if (WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str())) return core::Status::Ok();
  return core::Status::SystemError(GetLastError());
}

std::wstring Win32Profile::read_string(const std::wstring& file, const std::wstring& section,
                                       const std::wstring& key, const std::wstring& fallback) {
  // The profile functions' own buffer: longer values are cut, as on every system.
  wchar_t buffer[kProfileValueLimit + 1];
  DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), fallback.c_str(), buffer,
                                     kProfileValueLimit + 1, file.c_str());
  return std::wstring(buffer, n);
}

}  // namespace platform::win32
