#include "service_fixture.h"

using namespace service_test;
using service::TServiceType;

namespace {

class Application : public service::IServiceApplication {
 public:
  int services = 1;
  bool DelayInitialize() const override { return false; }
  void Initialize() override {}
  int ServiceCount() const override { return services; }
};

class Bare : public service::TService {
 public:
  explicit Bare(service::IServiceApplication* app) : TService(L"TavSrvBackup", app) {}
  platform::ServiceController GetServiceController() override { return nullptr; }
};

}  // namespace

TEST(TServiceProperties, TypeCodeAndAcceptedControlsFollowTheSettings) {
  struct Case {
    TServiceType type;
    bool interactive;
    int services;
    bool allow_stop, allow_pause;
    uint32_t type_code, accepted;
  };
  const Case cases[] = {
      {TServiceType::stWin32, false, 1, true, true, 0x10, 7},
      {TServiceType::stWin32, true, 1, true, false, 0x110, 5},
      {TServiceType::stWin32, false, 2, false, true, 0x20, 6},
      {TServiceType::stDevice, true, 2, false, false, 0x1, 4},
      {TServiceType::stFileSystem, false, 1, true, true, 0x2, 7},
  };
  for (const Case& c : cases) {
    Application app;
    app.services = c.services;
    Bare s(&app);
    s.SetServiceType(c.type);
    s.SetInteractive(c.interactive);
    s.SetAllowStop(c.allow_stop);
    s.SetAllowPause(c.allow_pause);
    EXPECT_EQ(s.ServiceTypeCode(), c.type_code) << &c - cases;
    EXPECT_EQ(s.ControlsAccepted(), c.accepted) << &c - cases;
  }
}

TEST(TServiceProperties, DefaultsAndHandlersThatAllowControls) {
  Bare s(nullptr);
  EXPECT_EQ(s.DisplayName(), L"TavSrvBackup");  // the name stands in
  s.SetDisplayName(L"TAV Servi\u00E7o de Backup");
  EXPECT_EQ(s.DisplayName(), L"TAV Servi\u00E7o de Backup");
  EXPECT_EQ(s.WaitHint(), 5000);
  EXPECT_EQ(s.Status(), TCurrentStatus::csStopped);
  EXPECT_FALSE(s.Terminated());
  s.SetAllowStop(false);
  s.SetAllowPause(false);
  s.SetOnStop([](service::TService*, bool&) {});
  s.SetOnContinue([](service::TService*, bool&) {});
  EXPECT_TRUE(s.AllowStop());
  EXPECT_TRUE(s.AllowPause());
}
