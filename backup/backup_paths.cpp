#include "backup/backup_paths.h"

#include <cwchar>

#include "base/exceptions.h"
#include "base/paths.h"
#include "platform/files.h"
#include "platform/host.h"
#include "platform/locale.h"
#include "platform/shell.h"

namespace backup {

std::wstring BackupProgramPath() { return base::ExecutableDirectory() + L"backup_vostrani.exe"; }

std::wstring RunLogPath() { return base::ExecutableDirectory() + L"LOGSrvBackup.ini"; }

std::wstring CompanyIniPath() { return base::ExecutableDirectory() + L"backup.ini"; }

std::wstring RunLogTimestamp(base::TDateTime when) {
  const platform::LocalTime t = base::DecodeDateTime(when);
  const wchar_t d = platform::host().locale->date_separator();
  const wchar_t c = platform::host().locale->time_separator();
  wchar_t text[64];
  std::swprintf(text, 64, L"%02u%lc%02u%lc%04u %02u%lc%02u%lc%02u", unsigned{t.day}, static_cast<wint_t>(d),
                unsigned{t.month}, static_cast<wint_t>(d), unsigned{t.year}, unsigned{t.hour},
                static_cast<wint_t>(c), unsigned{t.minute}, static_cast<wint_t>(c), unsigned{t.second});
  return text;
}

bool StartBackupProgram(const std::wstring& parameters) {
  const std::wstring program = BackupProgramPath();
  if (!platform::host().files->is_file(program)) return false;
  // The path goes as the file to start, never inside the parameters, so
  // blanks in it need no quoting.
  base::RaiseOnFailure(platform::host().shell->start_hidden(program, parameters, L""));
  return true;
}

}  // namespace backup
