// platform/console.h on stdout and stderr.
#include <cerrno>
#include <cstdio>

#include "core/utf.h"
#include "platform/posix/backend.h"
#include "platform/posix/service_services.h"

namespace platform::posix {

core::Status StdoutConsole::write_text(const std::wstring& text) {
  const std::string bytes = core::ToUtf8(text);
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0)
    return core::Status::SystemError(errno_to_win32(errno));
  return core::Status::Ok();
}

}  // namespace platform::posix
