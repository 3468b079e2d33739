#include "service/installation.h"

#include "base/os_errors.h"
#include "core/format.h"
#include "base/paths.h"
#include "platform/dialogs.h"
#include "platform/host.h"
#include "platform/process_info.h"
#include "service/administrator_message.h"

namespace service {

namespace {

platform::ServiceDatabase& Database() { return *platform::host().service_database; }

void Check(const core::Status& status) {
  if (!status.ok()) base::RaiseOSError(status.code());
}

platform::ScHandle Checked(const core::Result<platform::ScHandle>& handle) {
  Check(handle.status());
  return handle.value();
}

// Restart after a minute on the first and second failure, and count
// failures again after a day: a crash must not leave a machine without
// backups until the next boot.
const platform::FailureActions kRecoveryActions{24 * 60 * 60, {60'000, 60'000}};

void Call(const TServiceEvent& hook, TService& service) {
  if (hook) hook(&service);
}

// Both sources the entries of this process are written under.
std::vector<std::wstring> EventSources(const TService& service, const std::wstring& executable) {
  return {service.Name(), base::ExtractFileName(executable)};
}

void RegisterEventSources(const TService& service, const std::wstring& executable) {
  for (const auto& source : EventSources(service, executable))
    Check(Database().register_event_source(source, executable));
}

platform::ServiceRegistration Registration(TService& service, const std::wstring& command) {
  platform::ServiceRegistration r;
  r.name = service.Name();
  r.display_name = service.DisplayName();
  r.service_type = service.ServiceTypeCode();
  r.start_type = StartTypeCode(service);
  r.error_control = static_cast<uint32_t>(service.ErrorSeverity());
  r.binary_path = command;
  r.load_group = service.LoadGroup();
  if (static_cast<int32_t>(service.TagID()) > 0) r.tag = service.TagID();
  r.dependencies = DependencyList(service.Dependencies());
  if (!service.ServiceStartName().empty()) r.account = service.ServiceStartName();
  r.password = service.Password();
  return r;
}

// A failure that carries no system error code: ERROR_FUNCTION_FAILED.
constexpr uint32_t kFailureWithoutSystemCode = 1627;

// Inside a catch block.
uint32_t CurrentFailureCode() {
  try {
    throw;
  } catch (const core::EOSError& e) {
    return e.ErrorCode() ? e.ErrorCode() : kFailureWithoutSystemCode;
  } catch (...) {
    return kFailureWithoutSystemCode;
  }
}

}  // namespace

uint32_t StartTypeCode(const TService& service) {
  const TStartType start = service.StartType();
  const bool boot_or_system = start == TStartType::stBoot || start == TStartType::stSystem;
  if (boot_or_system && service.ServiceType() != TServiceType::stDevice) return 2;
  return static_cast<uint32_t>(start);
}

std::wstring DependencyList(const TDependencies& dependencies) {
  if (dependencies.empty()) return L"";
  std::wstring list;
  for (const auto& d : dependencies) {
    if (d.IsGroup) list += L'+';
    list += d.Name;
    list += L'\0';
  }
  list += L'\0';
  return list;
}

std::wstring ServiceCommand(const std::wstring& executable_path) {
  if (executable_path.find(L' ') == std::wstring::npos) return executable_path;
  return L"\"" + executable_path + L"\"";
}

void InstallService(TService& service, platform::ScHandle manager) {
  const std::wstring executable = platform::host().process->executable_path();
  Call(service.BeforeInstall(), service);
  platform::ServiceRegistration registration = Registration(service, ServiceCommand(executable));
  const core::Result<platform::ScHandle> created = Database().create_service(manager, registration);
  if (registration.tag) service.SetTagID(*registration.tag);
  platform::ScopedScHandle handle(Database(), Checked(created));
  try {
    Check(Database().set_failure_actions(handle.get(), kRecoveryActions));
    RegisterEventSources(service, executable);
    Call(service.AfterInstall(), service);
  } catch (...) {
    // A service that is not fully registered is taken out again.
    for (const auto& source : EventSources(service, executable)) (void)Database().remove_event_source(source);
    (void)Database().delete_service(handle.get());
    throw;
  }
}

std::vector<EventSourceLeft> UninstallService(TService& service, platform::ScHandle manager) {
  const std::wstring executable = platform::host().process->executable_path();
  Call(service.BeforeUninstall(), service);
  {
    platform::ScopedScHandle handle(Database(),
                                    Checked(Database().open_service(manager, service.Name(), platform::kServiceAllAccess)));
    Check(Database().delete_service(handle.get()));
  }
  // The service is gone: every source is still tried and the hook still runs.
  std::vector<EventSourceLeft> left;
  for (const auto& source : EventSources(service, executable)) {
    const core::Status removed = Database().remove_event_source(source);
    if (!removed.ok()) left.push_back({source, removed.code()});
  }
  Call(service.AfterUninstall(), service);
  return left;
}

void SetServiceDescription(const std::wstring& name, const std::wstring& description) {
  platform::ScopedScHandle manager(Database(), Checked(Database().open_manager(platform::kScManagerAllAccess)));
  platform::ScopedScHandle service(Database(),
                                   Checked(Database().open_service(manager.get(), name, platform::kServiceAllAccess)));
  Check(Database().set_description(service.get(), description));
}

uint32_t RegisterAll(const std::vector<TService*>& services, bool Install, bool Silent) {
  const wchar_t* failed = Install ? L"Service \"%s\" failed to install with error: \"%s\""
                                  : L"Service \"%s\" failed to uninstall with error: \"%s\"";
  uint32_t result = 0;
  auto fail = [&](uint32_t code, const std::wstring& text) {
    if (!result) result = code;
    TellAdministrator(L"Error", text, platform::DialogIcon::Error);
  };
  core::Result<platform::ScHandle> opened = Database().open_manager(platform::kScManagerAllAccess);
  if (!opened.ok()) {
    const std::wstring reason = base::OSErrorMessage(opened.status().code());
    for (TService* service : services) fail(opened.status().code(), core::Format(failed, {service->DisplayName(), reason}));
    return result;
  }
  platform::ScopedScHandle manager(Database(), opened.value());
  for (TService* service : services) {
    try {
      if (Install) {
        InstallService(*service, manager.get());
        continue;
      }
      for (const EventSourceLeft& source : UninstallService(*service, manager.get()))
        fail(source.code, core::Format(L"Service \"%s\" was removed, but its event source \"%s\" could not be: \"%s\"",
                                       {service->DisplayName(), source.name, base::SysErrorMessage(source.code)}));
    } catch (...) {
      fail(CurrentFailureCode(), core::Format(failed, {service->DisplayName(), CurrentExceptionMessage()}));
    }
  }
  if (!result && !Silent)
    TellAdministrator(L"Information", Install ? L"Service installed successfully" : L"Service uninstalled successfully",
                      platform::DialogIcon::Information);
  return result;
}

}  // namespace service
