#include "base/paths.h"

#include "platform/host.h"
#include "platform/process_info.h"

namespace base {
namespace {

size_t LastDelimiter(const std::wstring& path) { return path.find_last_of(L"\\:/"); }

}  // namespace

std::wstring ExtractFilePath(const std::wstring& path) {
  size_t at = LastDelimiter(path);
  return at == std::wstring::npos ? std::wstring() : path.substr(0, at + 1);
}

std::wstring ExtractFileName(const std::wstring& path) {
  size_t at = LastDelimiter(path);
  return at == std::wstring::npos ? path : path.substr(at + 1);
}

std::wstring ExecutableFileName() {
  auto* process = platform::host().process;
  return process ? ExtractFileName(process->executable_path()) : std::wstring();
}

std::wstring ExecutableDirectory() { return ExtractFilePath(platform::host().process->executable_path()); }

}  // namespace base
