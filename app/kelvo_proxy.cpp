#include "app/kelvo_proxy.h"

#include "backup/web_service_location.h"
#include "soap/http_rio.h"

namespace app {

namespace {

class HttpRioKelvoProxy : public backup::IKelvoProxy {
 public:
  // A process that never starts the service (an install run) still polls
  // from its main thread: it does so at the configured location.
  HttpRioKelvoProxy() { SetWSDLLocation(backup::WSDLLocation(backup::CentralServerHost())); }

  std::shared_ptr<soap::IcoKelvo> GetIcoKelvo() override { return rio_.GetIcoKelvo(); }

  // The location clears the service and the port, which are named after it.
  void SetWSDLLocation(const std::wstring& url) override {
    rio_.SetWSDLLocation(url);
    rio_.SetService(L"IcoKelvoservice");
    rio_.SetPort(L"IcoKelvoPort");
  }

  void Cancel() override { rio_.Cancel(); }
  void Reset() override { rio_.ResetCancel(); }

 private:
  soap::THTTPRIO rio_;
};

}  // namespace

std::unique_ptr<backup::IKelvoProxy> MakeKelvoProxy() { return std::make_unique<HttpRioKelvoProxy>(); }

}  // namespace app
