// platform/system_errors.h: a table of the codes this system meets.
// The system's texts for the error codes this system meets, and the mapping
// of errno values onto those codes.
#include <cerrno>
#include <map>

#include "platform/posix/backend.h"
#include "platform/posix/base_services.h"

namespace platform::posix {
namespace {

const std::map<uint32_t, std::wstring>& Texts() {
  static const std::map<uint32_t, std::wstring> texts = {
      {1, L"Incorrect function."},
      {2, L"The system cannot find the file specified."},
      {3, L"The system cannot find the path specified."},
      {5, L"Access is denied."},
      {6, L"The handle is invalid."},
      {8, L"Not enough memory resources are available to process this command."},
      {14, L"Not enough memory resources are available to complete this operation."},
      {31, L"A device attached to the system is not functioning."},
      {32, L"The process cannot access the file because it is being used by another process."},
      {87, L"The parameter is incorrect."},
      {193, L"%1 is not a valid Win32 application."},
      {1051, L"A stop control has been sent to a service that other running services are dependent on."},
      {1052, L"The requested control is not valid for this service."},
      {1053, L"The service did not respond to the start or control request in a timely fashion."},
      {1056, L"An instance of the service is already running."},
      {1060, L"The specified service does not exist as an installed service."},
      {1061, L"The service cannot accept control messages at this time."},
      {1062, L"The service has not been started."},
      {1063, L"The service process could not connect to the service controller."},
      {1066, L"The service has returned a service-specific error code."},
      {1067, L"The process terminated unexpectedly."},
      {1072, L"The specified service has been marked for deletion."},
      {1073, L"The specified service already exists."},
      {1155, L"No application is associated with the specified file for this operation."},
  };
  return texts;
}

}  // namespace

uint32_t errno_to_win32(int error) {
  switch (error) {
    case 0: return 0;
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EACCES: case EPERM: case EROFS: return 5;
    case ENOMEM: return 8;
    case EBUSY: return 32;
    case EINVAL: return 87;
    case ENOEXEC: return 193;
    default: return 31;  // "A device attached to the system is not functioning."
  }
}

std::wstring PosixSystemErrors::text(uint32_t code) {
  auto it = Texts().find(code);
  return it == Texts().end() ? std::wstring() : it->second;
}

}  // namespace platform::posix
