#include "backup/web_service_location.h"

#include "base/registry.h"
#include "base/text.h"

#ifndef TAV_WSDL_HOST
#error "TAV_WSDL_HOST names the central web server this build talks to"
#endif

namespace backup {

std::wstring BuiltInServerHost() { return L"" TAV_WSDL_HOST; }

std::wstring CentralServerHost() {
  base::TRegistry registry(platform::kKeyReadWrite);
  std::wstring host;
  if (registry.OpenKey(L"\\Software\\Tav7Backup", false)) host = base::Trim(registry.ReadString(L"ServidorBackup"));
  return host.empty() ? BuiltInServerHost() : host;
}

std::wstring WSDLLocation(const std::wstring& host) {
  return L"http://" + host + L":5660/VostraniKelvoP/Kelvo.dll/wsdl/IcoKelvo";
}

}  // namespace backup
