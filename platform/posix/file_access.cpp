// platform/file_access.h on stat(2).
// Owner and mode bits stand in for an access list: root is the system.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <cerrno>

#include "core/utf.h"
#include "platform/posix/base_services.h"

namespace platform::posix {

core::Result<std::vector<std::wstring>> PosixFileAccess::untrusted_writers(const std::wstring& path) {
  struct stat info {};
  if (stat(core::ToUtf8(path).c_str(), &info) != 0) return core::Status::SystemError(errno == ENOENT ? 2 : 5);
  std::vector<std::wstring> writers;
  if (info.st_uid != 0) {
    const passwd* user = getpwuid(info.st_uid);
    writers.push_back(user ? core::FromUtf8(user->pw_name) : L"uid " + std::to_wstring(info.st_uid));
  }
  if ((info.st_mode & S_IWGRP) && info.st_gid != 0) {
    const group* g = getgrgid(info.st_gid);
    writers.push_back(L"group " + (g ? core::FromUtf8(g->gr_name) : std::to_wstring(info.st_gid)));
  }
  if (info.st_mode & S_IWOTH) writers.push_back(L"everyone");
  return writers;
}

}  // namespace platform::posix
