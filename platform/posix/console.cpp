// platform/console.h on stdout and stderr.
#include <cstdio>

#include "core/utf.h"
#include "platform/posix/service_services.h"

namespace platform::posix {

bool StdoutConsole::write_text(const std::wstring& text) {
  const std::string bytes = core::ToUtf8(text);
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

}  // namespace platform::posix
