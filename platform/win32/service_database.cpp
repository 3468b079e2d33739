// platform/service_database.h on the service control manager's database (advapi32).
#include <windows.h>

#include <vector>

#include "platform/win32/service_services.h"

namespace platform::win32 {

namespace {

const wchar_t kApplicationLog[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
constexpr DWORD kAllEntryTypes = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

SC_HANDLE AsSc(ScHandle handle) { return reinterpret_cast<SC_HANDLE>(handle); }

core::Result<ScHandle> HandleOrLastError(SC_HANDLE handle) {
  if (!handle) return core::Status::SystemError(GetLastError());
  return reinterpret_cast<ScHandle>(handle);
}

core::Status LastErrorUnless(BOOL ok) { return ok ? core::Status::Ok() : core::Status::SystemError(GetLastError()); }

core::Status FromRegistry(LSTATUS code) {
  return code == ERROR_SUCCESS ? core::Status::Ok() : core::Status::SystemError(static_cast<uint32_t>(code));
}

}  // namespace

core::Result<ScHandle> Win32ServiceDatabase::open_manager(uint32_t access) {
  return HandleOrLastError(OpenSCManagerW(nullptr, nullptr, access));
}

core::Result<ScHandle> Win32ServiceDatabase::create_service(ScHandle manager, ServiceRegistration& r) {
  DWORD tag = r.tag.value_or(0);
  SC_HANDLE service = CreateServiceW(AsSc(manager), r.name.c_str(), r.display_name.c_str(), r.access,
                                     r.service_type, r.start_type, r.error_control, r.binary_path.c_str(),
                                     r.load_group.c_str(), r.tag ? &tag : nullptr, r.dependencies.c_str(),
                                     r.account ? r.account->c_str() : nullptr, r.password.c_str());
  const DWORD error = GetLastError();
  if (r.tag) r.tag = tag;
  if (!service) return core::Status::SystemError(error);
  return reinterpret_cast<ScHandle>(service);
}

core::Result<ScHandle> Win32ServiceDatabase::open_service(ScHandle manager, const std::wstring& name,
                                                          uint32_t access) {
  return HandleOrLastError(OpenServiceW(AsSc(manager), name.c_str(), access));
}

core::Status Win32ServiceDatabase::delete_service(ScHandle service) {
  return LastErrorUnless(DeleteService(AsSc(service)));
}

void Win32ServiceDatabase::close_handle(ScHandle handle) { CloseServiceHandle(AsSc(handle)); }

core::Status Win32ServiceDatabase::set_description(ScHandle service, const std::wstring& description) {
  std::wstring text = description;
  SERVICE_DESCRIPTIONW info{text.data()};
  return LastErrorUnless(ChangeServiceConfig2W(AsSc(service), SERVICE_CONFIG_DESCRIPTION, &info));
}

core::Status Win32ServiceDatabase::set_failure_actions(ScHandle service, const FailureActions& actions) {
  std::vector<SC_ACTION> steps;
  for (uint32_t delay : actions.restart_delays_ms) steps.push_back({SC_ACTION_RESTART, delay});
  // A null reboot message and command leave those settings as they were.
  SERVICE_FAILURE_ACTIONSW info{};
  info.dwResetPeriod = actions.reset_period_seconds;
  info.cActions = static_cast<DWORD>(steps.size());
  info.lpsaActions = steps.empty() ? nullptr : steps.data();
  return LastErrorUnless(ChangeServiceConfig2W(AsSc(service), SERVICE_CONFIG_FAILURE_ACTIONS, &info));
}

core::Result<FailureActions> Win32ServiceDatabase::query_failure_actions(ScHandle service) {
  DWORD needed = 0;
  if (!QueryServiceConfig2W(AsSc(service), SERVICE_CONFIG_FAILURE_ACTIONS, nullptr, 0, &needed) &&
      GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return core::Status::SystemError(GetLastError());
  std::vector<BYTE> buffer(needed);
  auto* info = reinterpret_cast<SERVICE_FAILURE_ACTIONSW*>(buffer.data());
  if (!QueryServiceConfig2W(AsSc(service), SERVICE_CONFIG_FAILURE_ACTIONS, buffer.data(), needed, &needed))
    return core::Status::SystemError(GetLastError());
  FailureActions actions;
  actions.reset_period_seconds = info->dwResetPeriod;
  for (DWORD i = 0; i < info->cActions; ++i) {
    // Only restarts are ever set here; anything else is not ours to describe.
    if (info->lpsaActions[i].Type != SC_ACTION_RESTART) return core::Status::SystemError(ERROR_INVALID_DATA);
    actions.restart_delays_ms.push_back(info->lpsaActions[i].Delay);
  }
  return actions;
}

core::Result<ServiceState> Win32ServiceDatabase::query_service(ScHandle service) {
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(AsSc(service), &status)) return core::Status::SystemError(GetLastError());
  DWORD needed = 0;
  if (!QueryServiceConfigW(AsSc(service), nullptr, 0, &needed) && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return core::Status::SystemError(GetLastError());
  std::vector<BYTE> buffer(needed);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (!QueryServiceConfigW(AsSc(service), config, needed, &needed)) return core::Status::SystemError(GetLastError());
  return ServiceState{status.dwCurrentState, config->dwStartType,
                      config->lpBinaryPathName ? config->lpBinaryPathName : L""};
}

// The event log service reads its sources from the native view.
core::Status Win32ServiceDatabase::register_event_source(const std::wstring& source,
                                                         const std::wstring& message_file) {
  HKEY key = nullptr;
  const std::wstring path = kApplicationLog + source;
  LSTATUS code = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr);
  if (code != ERROR_SUCCESS) return FromRegistry(code);
  const DWORD file_bytes = static_cast<DWORD>((message_file.size() + 1) * sizeof(wchar_t));
  code = RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ,
                        reinterpret_cast<const BYTE*>(message_file.c_str()), file_bytes);
  if (code == ERROR_SUCCESS) {
    const DWORD types = kAllEntryTypes;
    code = RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                          sizeof(types));
  }
  RegCloseKey(key);
  return FromRegistry(code);
}

core::Status Win32ServiceDatabase::remove_event_source(const std::wstring& source) {
  const std::wstring path = kApplicationLog + source;
  const LSTATUS code = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_64KEY, 0);
  return code == ERROR_FILE_NOT_FOUND ? core::Status::Ok() : FromRegistry(code);
}

}  // namespace platform::win32
