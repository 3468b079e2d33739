// Feeds arbitrary bytes to the WSDL document as if fetched from the central
// server, then runs every query with the names the document itself holds and
// with the service's own. Imports go to an HTTP client that refuses at once,
// so a run touches neither the network nor the disk. Failures reported as the
// system's own exceptions are expected; anything else is a finding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/exceptions.h"
#include "platform/host.h"
#include "platform/http.h"
#include "soap/wsdl.h"

namespace {

class RefusingHttp : public platform::Http {
 public:
  core::Result<platform::HttpUrl> crack_url(const std::wstring&) override {
    return core::Status::SystemError(platform::http_error::kInvalidUrl);
  }
  core::Result<std::unique_ptr<platform::HttpConnection>> connect(const platform::HttpConnectOptions&) override {
    return core::Status::SystemError(platform::http_error::kCannotConnect);
  }
  std::wstring error_text(uint32_t code) override { return platform::http_error_fallback_text(code); }
};

void Query(soap::TWSDLItems& wsdl, const std::wstring& service, const std::wstring& port) {
  const std::wstring binding = wsdl.GetBindingForServicePort(service, port);
  for (int version : {0, 1, 2}) {
    int v = version;
    wsdl.GetSoapAddressForServicePort(service, port, v);
    for (const wchar_t* operation : {L"TestaConexao", L"BuscaSolic"}) {
      v = version;
      wsdl.GetSoapAction(binding, operation, v, 0);
      v = version;
      wsdl.GetSoapBodyAttribute(binding, operation, v, 0, L"namespace", true);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  platform::install_default_host();
  static RefusingHttp refusing;
  platform::host().http = &refusing;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  soap::TStreamLoader loader;
  soap::TWSDLItems wsdl(loader);
  wsdl.Location = L"http://central:5660/VostraniKelvoP/Kelvo.dll/wsdl/IcoKelvo";
  try {
    wsdl.LoadFromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const core::Exception&) {
    return 0;
  }
  Query(wsdl, L"IcoKelvoservice", L"IcoKelvoPort");
  for (const auto& service : wsdl.GetServices())
    for (const auto& port : wsdl.GetPortsForService(service)) Query(wsdl, service, port);
  soap::TWSDLView view;
  view.WSDL = &wsdl;
  view.GetPort();
  return 0;
}
