#include "base/ini_file.h"

#include "core/exceptions.h"
#include "core/format.h"
#include "core/text.h"
#include "platform/host.h"
#include "platform/profile.h"

namespace base {

void TIniFile::WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
  // A line break would split the entry: the file keeps the first line as
  // the value and the rest as a stray line no later write removes.
  if (!platform::host().profile->write_string(file_name_, section, key, core::OnOneLine(value)).ok())
    throw core::Exception(core::Format(L"Unable to write to %s", {file_name_}));
}

std::wstring TIniFile::ReadString(const std::wstring& section, const std::wstring& key,
                                  const std::wstring& fallback) {
  return platform::host().profile->read_string(file_name_, section, key, fallback);
}

}  // namespace base
