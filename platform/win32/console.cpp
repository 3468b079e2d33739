// platform/console.h on the standard handles (WriteFile, WriteConsoleW).
#include <windows.h>

#include "core/utf.h"
#include "platform/win32/service_services.h"

namespace platform::win32 {

namespace {

std::wstring WithCrLf(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'\n' && (out.empty() || out.back() != L'\r')) out += L'\r';
    out += c;
  }
  return out;
}

// A file or a pipe: the output of "> file" or "| findstr".
bool Redirected(HANDLE out) {
  if (!out || out == INVALID_HANDLE_VALUE) return false;
  const DWORD type = GetFileType(out);
  return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

bool WriteBytes(HANDLE out, const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
}

}  // namespace

// A windowed program has no console of its own; it borrows the one of the
// command prompt that started it, if any.
bool Win32Console::write_text(const std::wstring& text) {
  const std::wstring lines = WithCrLf(text);
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (Redirected(out)) return WriteBytes(out, core::ToUtf8(lines));
  if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED) return false;
  const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteConsoleW(console, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
  CloseHandle(console);
  return ok;
}

}  // namespace platform::win32
