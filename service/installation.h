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
// Deletes the service with its hooks around; a failure raises.
void UninstallService(TService& service, platform::ScHandle manager);

// Gives an installed service the text the services console shows; raises
// when it cannot.
void SetServiceDescription(const std::wstring& name, const std::wstring& description);

// Installs or uninstalls every service, one failure dialog per failing
// service, the success dialog unless silent. Raises only when the control
// manager cannot be opened.
void RegisterAll(const std::vector<TService*>& services, bool Install, bool Silent);

}  // namespace service
