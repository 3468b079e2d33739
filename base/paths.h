#pragma once
#include <string>

namespace base {

// The directory part of a path, up to and including its last backslash or
// colon (or slash, for the host's paths).
std::wstring ExtractFilePath(const std::wstring& path);
// The directory of the running executable, ending with its separator.
std::wstring ExecutableDirectory();
std::wstring ExtractFileName(const std::wstring& path);
// The running executable's file name; empty before a process service is installed.
std::wstring ExecutableFileName();

}  // namespace base
