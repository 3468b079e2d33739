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

core::Status WriteBytes(HANDLE out, const std::string& bytes) {
  DWORD written = 0;
  if (!WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    return core::Status::SystemError(GetLastError());
  return written == bytes.size() ? core::Status::Ok() : core::Status::SystemError(ERROR_WRITE_FAULT);
}

}  // namespace

// A windowed program has no console of its own; it borrows the one of the
// command prompt that started it, if any.
core::Status Win32Console::write_text(const std::wstring& text) {
  const std::wstring lines = WithCrLf(text);
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (Redirected(out)) return WriteBytes(out, core::ToUtf8(lines));
  // Access denied: this process is attached to a console already.
  if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
    return core::Status::SystemError(GetLastError());
  const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return core::Status::SystemError(GetLastError());
  DWORD written = 0;
  const core::Status status = WriteConsoleW(console, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr)
                                  ? core::Status::Ok()
                                  : core::Status::SystemError(GetLastError());
  CloseHandle(console);
  return status;
}

}  // namespace platform::win32
