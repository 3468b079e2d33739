#include <gtest/gtest.h>

#include "base/os_errors.h"
#include "process_fixture.h"
#include "service/installation.h"

using namespace process_test;
using service::RegisterAll;
using service::TService;

namespace {

std::wstring SystemErrorText(uint32_t code) { return base::OSErrorMessage(code); }

class Installation : public ServiceProcess {
 protected:
  PlainService svc{nullptr};
  std::vector<std::string> hooks;

  void RecordHooks() {
    svc.SetBeforeInstall([this](TService*) { hooks.push_back("before install:" + Installed()); });
    svc.SetAfterInstall([this](TService*) { hooks.push_back("after install:" + Installed()); });
    svc.SetBeforeUninstall([this](TService*) { hooks.push_back("before uninstall:" + Installed()); });
    svc.SetAfterUninstall([this](TService*) { hooks.push_back("after uninstall:" + Installed()); });
  }
  std::string Installed() const { return database.services().empty() ? "absent" : "present"; }

  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> texts;
    for (const auto& d : dialogs.shown()) texts.push_back(d.caption + L"|" + d.text);
    return texts;
  }
};

TEST_F(Installation, RegistersTheServiceQuotedWithItsEventSourcesAndSaysSo) {
  RegisterAll({&svc}, true, false);

  const auto services = database.services();
  ASSERT_EQ(services.size(), 1u);
  const platform::ServiceRegistration& r = services[0].registration;
  EXPECT_EQ(r.name, L"PlainSvc");
  EXPECT_EQ(r.display_name, L"Plain Servi\u00E7o");
  EXPECT_EQ(r.access, 0xF01FFu);
  EXPECT_EQ(r.service_type, 0x10u);
  EXPECT_EQ(r.start_type, 2u);
  EXPECT_EQ(r.error_control, 1u);
  EXPECT_EQ(r.binary_path, L"\"" + kExecutable + L"\"");
  EXPECT_EQ(r.load_group, L"");
  EXPECT_FALSE(r.tag.has_value());
  EXPECT_EQ(r.dependencies, L"");
  EXPECT_FALSE(r.account.has_value());
  EXPECT_EQ(r.password, L"");
  EXPECT_EQ(database.event_sources(),
            (std::map<std::wstring, std::wstring>{{L"PlainSvc", kExecutable}, {kExecutableName, kExecutable}}));
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"Information|Service installed successfully"}));
  EXPECT_EQ(dialogs.shown()[0].icon, platform::DialogIcon::Information);
  EXPECT_EQ(database.open_handles(), 0u);

  RegisterAll({&svc}, false, false);
  EXPECT_TRUE(database.services().empty());
  EXPECT_TRUE(database.event_sources().empty());
  EXPECT_EQ(Texts().back(), L"Information|Service uninstalled successfully");
  EXPECT_EQ(database.open_handles(), 0u);
}

TEST_F(Installation, ServiceCommandIsQuotedOnlyWhenItHoldsABlank) {
  EXPECT_EQ(service::ServiceCommand(L"C:\\TAV\\srv.exe"), L"C:\\TAV\\srv.exe");
  EXPECT_EQ(service::ServiceCommand(L"C:\\Program Files\\srv.exe"), L"\"C:\\Program Files\\srv.exe\"");
}

TEST_F(Installation, HooksRunInOrderAroundTheRegistration) {
  RecordHooks();
  RegisterAll({&svc}, true, true);
  RegisterAll({&svc}, false, true);
  EXPECT_EQ(hooks, (std::vector<std::string>{"before install:absent", "after install:present",
                                             "before uninstall:present", "after uninstall:absent"}));
  EXPECT_TRUE(dialogs.shown().empty()) << "silent runs that succeed show nothing";
}

TEST_F(Installation, FailuresShowTheirDialogEvenWhenSilentAndGiveTheSystemCode) {
  const std::wstring exists = SystemErrorText(1073), missing = SystemErrorText(1060);
  EXPECT_EQ(RegisterAll({&svc}, true, true), 0u);
  EXPECT_EQ(RegisterAll({&svc}, true, true), 1073u);
  EXPECT_EQ(RegisterAll({&svc}, false, true), 0u);
  EXPECT_EQ(RegisterAll({&svc}, false, true), 1060u);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{
                         L"Error|Service \"Plain Servi\u00E7o\" failed to install with error: \"" + exists + L"\"",
                         L"Error|Service \"Plain Servi\u00E7o\" failed to uninstall with error: \"" + missing + L"\""}));
  EXPECT_EQ(dialogs.shown()[0].icon, platform::DialogIcon::Error);
  EXPECT_EQ(exists.rfind(L"System Error.  Code: 1073.\r\n", 0), 0u);
  EXPECT_EQ(database.open_handles(), 0u);
  EXPECT_TRUE(log.entries().empty()) << "a person at the desktop saw it";
}

// A tool running as the system account in session 0 has no desktop a
// person sees: a box would wait for ever.
TEST_F(Installation, WithoutAVisibleWindowStationTheTextGoesToStandardErrorAndTheEventLog) {
  dialogs.visible = false;
  EXPECT_EQ(RegisterAll({&svc}, true, false), 0u);
  EXPECT_EQ(RegisterAll({&svc}, true, false), 1073u);
  EXPECT_TRUE(dialogs.shown().empty());
  const std::wstring failure =
      L"Service \"Plain Servi\u00E7o\" failed to install with error: \"" + SystemErrorText(1073) + L"\"";
  EXPECT_EQ(dialogs.errors(),
            (std::vector<std::wstring>{L"Information: Service installed successfully", L"Error: " + failure}));
  ASSERT_EQ(log.entries().size(), 1u);
  EXPECT_EQ(log.entries()[0].text, failure);
  EXPECT_EQ(log.entries()[0].source, kExecutableName);
  EXPECT_EQ(log.entries()[0].type, 1);
}

TEST_F(Installation, SecondInstallLeavesTheFirstRegistrationAlone) {
  RegisterAll({&svc}, true, true);
  svc.SetDisplayName(L"Another name");
  RegisterAll({&svc}, true, true);
  ASSERT_EQ(database.services().size(), 1u);
  EXPECT_EQ(database.services()[0].registration.display_name, L"Plain Servi\u00E7o");
  EXPECT_EQ(database.event_sources().size(), 2u);
}

TEST_F(Installation, AFailureAfterCreationTakesTheServiceOutAgain) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::wstring error;
    uint32_t code;
  };
  const Case cases[] = {
      {"after install raises",
       [this] { svc.SetAfterInstall([](TService*) { throw core::Exception(L"Failed to set data for 'Description'"); }); },
       L"Failed to set data for 'Description'", 1627},
      {"an event source cannot be registered", [this] { database.faults.FailNext("register_event_source", 5); },
       SystemErrorText(5), 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    svc.SetAfterInstall({});
    c.arrange();
    const size_t shown = dialogs.shown().size();
    EXPECT_EQ(RegisterAll({&svc}, true, false), c.code);
    EXPECT_TRUE(database.services().empty());
    EXPECT_TRUE(database.event_sources().empty());
    ASSERT_EQ(dialogs.shown().size(), shown + 1);
    EXPECT_EQ(dialogs.shown().back().text,
              L"Service \"Plain Servi\u00E7o\" failed to install with error: \"" + c.error + L"\"");
    EXPECT_EQ(database.open_handles(), 0u);
  }
}

// The service is gone once deleted, whatever happens to its sources after.
TEST_F(Installation, AnEventSourceLeftBehindIsReportedAndTheRestOfTheUninstallStillRuns) {
  RecordHooks();
  RegisterAll({&svc}, true, true);
  database.faults.FailNext("remove_event_source", 5);
  EXPECT_EQ(RegisterAll({&svc}, false, false), 5u);
  EXPECT_TRUE(database.services().empty());
  EXPECT_EQ(database.event_sources(), (std::map<std::wstring, std::wstring>{{L"PlainSvc", kExecutable}}))
      << "the second source is removed all the same";
  EXPECT_EQ(hooks.back(), "after uninstall:absent");
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"Error|Service \"Plain Servi\u00E7o\" was removed, but its event source "
                                                L"\"PlainSvc\" could not be: \"" + base::SysErrorMessage(5) + L"\""}));
}

TEST_F(Installation, SetsRecoveryActionsOrTakesTheServiceOutWhenItCannot) {
  RegisterAll({&svc}, true, true);
  ASSERT_EQ(database.services().size(), 1u);
  EXPECT_EQ(database.services()[0].failure_actions, (platform::FailureActions{86400, {60000, 60000}}));
  RegisterAll({&svc}, false, true);

  database.faults.FailNext("set_failure_actions", 5);
  RegisterAll({&svc}, true, true);
  EXPECT_TRUE(database.services().empty());
  EXPECT_TRUE(database.event_sources().empty());
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"Error|Service \"Plain Servi\u00E7o\" failed to install with error: \"" +
                                                SystemErrorText(5) + L"\""}));
  EXPECT_EQ(database.open_handles(), 0u);
}

TEST_F(Installation, HookFailuresAreReportedPerOperation) {
  struct Case {
    const char* hook;
    bool install;
    const char* installed_after;
  };
  for (const Case c : {Case{"before install", true, "absent"}, Case{"before uninstall", false, "present"},
                       Case{"after uninstall", false, "absent"}}) {
    SCOPED_TRACE(c.hook);
    PlainService one(nullptr);
    platform::SimulatedServiceDatabase fresh;
    platform::ScopedOverride<platform::ServiceDatabase> use_fresh{&platform::Host::service_database, &fresh};
    if (!c.install) RegisterAll({&one}, true, true);
    auto raise = [](TService*) { throw core::Exception(L"hook refused"); };
    if (std::string(c.hook) == "before install") one.SetBeforeInstall(raise);
    if (std::string(c.hook) == "before uninstall") one.SetBeforeUninstall(raise);
    if (std::string(c.hook) == "after uninstall") one.SetAfterUninstall(raise);
    const size_t shown = dialogs.shown().size();
    RegisterAll({&one}, c.install, false);
    ASSERT_EQ(dialogs.shown().size(), shown + 1);
    EXPECT_NE(dialogs.shown().back().text.find(L"\"hook refused\""), std::wstring::npos);
    EXPECT_EQ(fresh.services().empty() ? "absent" : "present", std::string(c.installed_after));
  }
}

TEST_F(Installation, OneFailingServiceDoesNotStopTheOthers) {
  PlainService other(nullptr);
  other.SetName(L"OtherSvc");
  RegisterAll({&svc}, true, true);
  EXPECT_EQ(RegisterAll({&svc, &other}, true, false), 1073u);
  EXPECT_EQ(database.services().size(), 2u);
  ASSERT_EQ(dialogs.shown().size(), 1u) << "the failure only, no success";
  EXPECT_EQ(dialogs.shown()[0].caption, L"Error");
}

TEST_F(Installation, ManagerThatCannotBeOpenedIsAFailureOfEachService) {
  database.faults.FailNext("open_manager", 5);
  EXPECT_EQ(RegisterAll({&svc}, true, false), 5u);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"Error|Service \"Plain Servi\u00E7o\" failed to install with error: \"" +
                                                SystemErrorText(5) + L"\""}));
  EXPECT_TRUE(database.services().empty());
}

TEST_F(Installation, TagIsAskedForOnlyWhenPositiveAndTakesTheAssignedValue) {
  struct Case {
    uint32_t tag_before;
    bool asked;
    uint32_t tag_after;
  };
  database.set_next_tag(42);
  for (const Case c : {Case{0, false, 0}, Case{0x80000000u, false, 0x80000000u}, Case{7, true, 42}}) {
    SCOPED_TRACE(c.tag_before);
    PlainService one(nullptr);
    one.SetTagID(c.tag_before);
    RegisterAll({&one}, true, true);
    ASSERT_EQ(database.services().size(), 1u);
    EXPECT_EQ(database.services()[0].registration.tag.has_value(), c.asked);
    EXPECT_EQ(one.TagID(), c.tag_after);
    RegisterAll({&one}, false, true);
  }
}

TEST_F(Installation, RegistrationFollowsTheServiceProperties) {
  svc.SetStartType(service::TStartType::stBoot);
  svc.SetErrorSeverity(service::TErrorSeverity::esCritical);
  svc.SetLoadGroup(L"Group");
  svc.SetServiceStartName(L".\\backup");
  svc.SetPassword(L"secret");
  svc.Dependencies() = {{L"Tcpip", false}, {L"NetGroup", true}};
  svc.SetDisplayName(L"");
  RegisterAll({&svc}, true, true);
  const platform::ServiceRegistration r = database.services().at(0).registration;
  EXPECT_EQ(r.start_type, 2u) << "boot start is automatic start for a process";
  EXPECT_EQ(r.error_control, 3u);
  EXPECT_EQ(r.load_group, L"Group");
  EXPECT_EQ(r.account, std::optional<std::wstring>(L".\\backup"));
  EXPECT_EQ(r.password, L"secret");
  EXPECT_EQ(r.dependencies, std::wstring(L"Tcpip\0+NetGroup\0\0", 17));
  EXPECT_EQ(r.display_name, L"PlainSvc");
}

TEST_F(Installation, DescriptionGoesToTheNamedService) {
  RegisterAll({&svc}, true, true);
  service::SetServiceDescription(L"plainsvc", L"TAV Backup - v1.00");
  EXPECT_EQ(database.services().at(0).description, L"TAV Backup - v1.00");
  try {
    service::SetServiceDescription(L"NoSuchSvc", L"x");
    FAIL() << "no exception";
  } catch (const core::EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), 1060u);
  }
  EXPECT_EQ(database.open_handles(), 0u);
}

}  // namespace
