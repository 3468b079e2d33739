// platform/files.h on stat(2) and std::filesystem.
#include <sys/stat.h>

#include "core/utf.h"
#include "platform/posix/base_services.h"

namespace platform::posix {

bool PosixFiles::is_file(const std::wstring& path) {
  struct stat info {};
  return stat(core::ToUtf8(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace platform::posix
