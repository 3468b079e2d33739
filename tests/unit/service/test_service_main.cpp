// A small service for the real control manager, and a one-shot writer of
// an event-log entry: "tav_test_service.exe log <text>".
#include <cstring>
#include <string>

#include "platform/host.h"
#include "platform/service_control.h"
#include "service/event_logger.h"
#include "service/service.h"

namespace {

class TestService : public service::TService {
 public:
  static inline TestService* instance = nullptr;
  TestService() : TService(L"TavTestSvc") { instance = this; }
  platform::ServiceController GetServiceController() override { return &Controller; }
  static void Controller(uint32_t code) { instance->PostControlRequest(code); }
};

std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }

}  // namespace

int main(int argc, char** argv) {
  platform::install_default_host();
  if (argc == 3 && std::strcmp(argv[1], "log") == 0) {
    service::TEventLogger logger(L"tav_test_service.exe");
    logger.LogMessage(Widen(argv[2]));
    return 0;
  }
  TestService svc;
  const core::Status dispatched = platform::host().service_control->run_dispatcher(
      {svc.Name()}, [&](const std::vector<std::wstring>& arguments) { service::ServiceEntry({&svc}, arguments); });
  return static_cast<int>(dispatched.code());
}
