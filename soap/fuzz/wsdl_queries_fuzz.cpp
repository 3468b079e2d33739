// Feeds arbitrary bytes to the WSDL document as if fetched from the central
// server, then runs every query with the names the document itself holds and
// with the service's own. Imports go to a fake HTTP client that serves the
// same bytes again for every other location and refuses the rest, so a run
// follows imports of imports without touching the network; local locations
// must never be read from a document that came over the network. Failures
// reported as the system's own exceptions are expected; a fetch beyond the
// import cap, or a second fetch of the imports for one load, is a finding.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/os_errors.h"
#include "platform/host.h"
#include "platform/http.h"
#include "soap/wsdl.h"

namespace {

// The most imports one load may fetch, failed fetches included.
constexpr int kImportCap = 32;

// Answers a GET with the input itself (200) or refuses it (404) by turns.
class ServedRequest : public platform::HttpRequest {
 public:
  ServedRequest(std::string_view body, bool found) : body_(found ? body : std::string_view()), found_(found) {}
  core::Status add_header(const std::wstring&) override { return core::Status::Ok(); }
  core::Status send(std::string_view, uint64_t) override { return core::Status::Ok(); }
  core::Status write(std::string_view) override { return core::Status::Ok(); }
  core::Status receive_response() override { return core::Status::Ok(); }
  core::Result<uint32_t> status_code() override { return found_ ? 200u : 404u; }
  core::Result<std::wstring> status_text() override { return std::wstring(found_ ? L"OK" : L"Not Found"); }
  core::Result<std::wstring> header(const std::wstring&) override {
    return core::Status::SystemError(platform::http_error::kHeaderNotFound);
  }
  core::Result<size_t> read(char* buffer, size_t size) override {
    const size_t n = std::min(size, body_.size());
    std::copy_n(body_.data(), n, buffer);
    body_.remove_prefix(n);
    return n;
  }
  void abort(core::FailureKind) override {}

 private:
  std::string_view body_;
  bool found_;
};

class ServingHttp : public platform::Http, public platform::HttpConnection {
 public:
  std::string_view body;
  int fetches = 0;

  core::Result<platform::HttpUrl> crack_url(const std::wstring& url) override {
    if (url.rfind(L"http://", 0) != 0) return core::Status::SystemError(platform::http_error::kUnrecognizedScheme);
    return platform::HttpUrl{false, L"central", 5660, L"/" + std::to_wstring(url.size())};
  }
  core::Result<std::unique_ptr<platform::HttpConnection>> connect(const platform::HttpConnectOptions&) override {
    return std::unique_ptr<platform::HttpConnection>(std::make_unique<Forward>(*this));
  }
  std::wstring error_text(uint32_t code) override { return platform::http_error_fallback_text(code); }
  core::Result<std::unique_ptr<platform::HttpRequest>> open_request(const platform::HttpRequestOptions&) override {
    ++fetches;
    if (fetches > kImportCap) std::abort();  // the import cap did not hold
    return std::unique_ptr<platform::HttpRequest>(std::make_unique<ServedRequest>(body, fetches % 2 == 1));
  }

 private:
  struct Forward : platform::HttpConnection {
    explicit Forward(ServingHttp& http) : http(http) {}
    core::Result<std::unique_ptr<platform::HttpRequest>> open_request(const platform::HttpRequestOptions& o) override {
      return http.open_request(o);
    }
    ServingHttp& http;
  };
};

ServingHttp* serving = nullptr;

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
  static ServingHttp http;
  serving = &http;
  platform::host().http = &http;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  serving->body = std::string_view(reinterpret_cast<const char*>(data), size);
  serving->fetches = 0;
  soap::TStreamLoader loader;
  soap::TWSDLItems wsdl(loader);
  wsdl.Location = L"http://central:5660/VostraniKelvoP/Kelvo.dll/wsdl/IcoKelvo";
  try {
    wsdl.LoadFromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const core::Exception&) {
    return 0;
  }
  Query(wsdl, L"IcoKelvoservice", L"IcoKelvoPort");
  const int fetched = serving->fetches;
  for (const auto& service : wsdl.GetServices())
    for (const auto& port : wsdl.GetPortsForService(service)) Query(wsdl, service, port);
  if (serving->fetches != fetched) std::abort();  // the imports were fetched again for the same load
  soap::TWSDLView view;
  view.WSDL = &wsdl;
  view.GetPort();
  return 0;
}
