#pragma once
// Registering services with the control manager and removing them again,
// as an install or uninstall run of the executable does.
#include <string>
#include <vector>

#include "platform/service_database.h"
#include "service/service.h"

namespace service {

// "" without dependencies; else each name, "+" first for a group, ended by
// a NUL, and one more NUL at the end.
std::wstring DependencyList(const TDependencies& dependencies);

// The start type the control manager is given: boot and system start
// become automatic start for anything but a device driver.
uint32_t StartTypeCode(const TService& service);

// The executable's path as a service command: in quotation marks when it
// holds a blank, so no other program is started in its place.
std::wstring ServiceCommand(const std::wstring& executable_path);

// Creates the service with its hooks around; a failure raises, leaving no
// half-registered service behind.
void InstallService(TService& service, platform::ScHandle manager);
// An event source that outlived its service, with the system's error code.
struct EventSourceLeft {
  std::wstring name;
  uint32_t code;
};

// Deletes the service with its hooks around; a failure raises. Once the
// service is deleted, the sources that could not be removed are returned.
std::vector<EventSourceLeft> UninstallService(TService& service, platform::ScHandle manager);

// Gives an installed service the text the services console shows; raises
// when it cannot.
void SetServiceDescription(const std::wstring& name, const std::wstring& description);

// Installs or uninstalls every service, one failure message per failure,
// the success message unless silent. Returns the process's exit code: 0,
// or the system error code of the first failure (1627 for one without).
uint32_t RegisterAll(const std::vector<TService*>& services, bool Install, bool Silent);

}  // namespace service
