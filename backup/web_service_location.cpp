#include "backup/web_service_location.h"

#include "base/registry_accessor.h"
#include "core/text.h"

#ifndef TAV_WSDL_HOST
#error "TAV_WSDL_HOST names the central web server this build talks to"
#endif

namespace backup {

std::wstring BuiltInServerHost() { return L"" TAV_WSDL_HOST; }

// Read access is all it needs, so any user sees the same host as the service.
std::wstring ServerHostSetting() {
  base::RegistryAccessor accessor(platform::kKeyRead);
  if (!accessor.OpenKey(L"\\Software\\Tav7Backup", false)) return L"";
  return core::Trim(accessor.ReadString(L"ServidorBackup"));
}

std::wstring CentralServerHost() {
  const std::wstring host = ServerHostSetting();
  return host.empty() ? BuiltInServerHost() : host;
}

std::wstring WSDLLocation(const std::wstring& host) {
  return L"http://" + host + L":5660/VostraniKelvoP/Kelvo.dll/wsdl/IcoKelvo";
}

}  // namespace backup
