#include <stdexcept>

#include "base/os_errors.h"
#include "platform/threads.h"
#include "service_fixture.h"

using namespace service_test;
using service::TService;

namespace {

struct Report {
  uint32_t state, accepted, check_point;
  bool operator==(const Report&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Report& r) {
  return os << "{" << r.state << "," << r.accepted << "," << r.check_point << "}";
}

}  // namespace

TEST_F(ServiceHost, NormalStartAndStopReportInOrder) {
  Start(L"testSVC", {L"-a", L"b"});  // the name matches in any letter case
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kRunning));
  EXPECT_EQ(svc.ParamCount(), 3);
  EXPECT_EQ(svc.Param(0), L"testSVC");
  EXPECT_EQ(svc.Param(2), L"b");
  Send(platform::kControlStop);
  ASSERT_TRUE(Finished());
  EXPECT_EQ(dispatcher_result, 0u);

  std::vector<Report> reports;
  for (const auto& r : scm.reports(L"TestSvc")) {
    reports.push_back({r.current_state, r.controls_accepted, r.check_point});
    EXPECT_EQ(r.wait_hint, 5000u);
    EXPECT_EQ(r.service_type, 0x10u);
    EXPECT_EQ(r.win32_exit_code, 0u);
  }
  const std::vector<Report> expected = {
      {kStartPending, 0, 1}, {kStartPending, 0, 2}, {kRunning, 7, 0}, {kStopPending, 7, 0}, {kStopped, 7, 0}};
  EXPECT_EQ(reports, expected);
  EXPECT_TRUE(log.entries().empty());
}

TEST_F(ServiceHost, StartThatIsRefusedOrRaisesEndsTheService) {
  struct Case {
    const char* name;
    std::function<void(bool&)> on_start;
    std::vector<std::wstring> log;
  };
  const Case cases[] = {
      {"refused", [](bool& started) { started = false; }, {}},
      {"raises", [](bool&) { throw core::Exception(L"registry broken"); },
       {L"Service failed on start: registry broken"}},
  };
  for (const Case& c : cases) {
    platform::SimulatedServiceControl own_scm;
    platform::RecordedEventLog own_log;
    platform::ScopedOverride<platform::ServiceControl> s(&platform::Host::service_control, &own_scm);
    platform::ScopedOverride<platform::EventLog> l(&platform::Host::event_log, &own_log);
    service::ProcessCheckPointMemory() = {};
    TestService one;
    one.SetOnStart([&](TService*, bool& started) { c.on_start(started); });
    own_scm.start_service(L"TestSvc");
    EXPECT_TRUE(own_scm.run_dispatcher({L"TestSvc"}, [&](const auto& a) { service::ServiceEntry({&one}, a); }).ok());
    std::vector<uint32_t> states;
    for (const auto& r : own_scm.reports(L"TestSvc")) states.push_back(r.current_state);
    EXPECT_EQ(states, (std::vector<uint32_t>{kStartPending, kStartPending, kStopped})) << c.name;
    std::vector<std::wstring> texts;
    for (const auto& e : own_log.entries()) texts.push_back(e.text);
    EXPECT_EQ(texts, c.log) << c.name;
  }
}

TEST_F(ServiceHost, StopThatIsRefusedOrRaisesLeavesItRunning) {
  int calls = 0;
  svc.SetOnStop([&](TService*, bool& stopped) {
    ++calls;
    if (calls == 1) stopped = false;
    if (calls == 2) throw std::runtime_error("worker would not end");
  });
  Start();
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kRunning));
  Send(platform::kControlStop);  // refused
  Send(platform::kControlStop);  // raises
  Send(platform::kControlInterrogate);
  ASSERT_TRUE(Reported(8));
  EXPECT_EQ(States(), (std::vector<uint32_t>{kStartPending, kStartPending, kRunning, kStopPending, kRunning,
                                             kStopPending, kRunning, kRunning}));
  EXPECT_EQ(LogTexts(), (std::vector<std::wstring>{L"Service failed on stop: worker would not end"}));
  EXPECT_FALSE(dispatcher_done);
  Send(platform::kControlStop);
  EXPECT_TRUE(Finished());
}

TEST_F(ServiceHost, ShutdownStopsTheServiceEvenWhenItsHandlerRaises) {
  svc.SetOnShutdown([](TService*) { base::RaiseOSError(5); });
  Start();
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kRunning));
  Send(platform::kControlShutdown);
  ASSERT_TRUE(Finished());
  EXPECT_EQ(States(), (std::vector<uint32_t>{kStartPending, kStartPending, kRunning, kStopPending, kStopped}));
  ASSERT_EQ(log.entries().size(), 1u);
  const platform::EventLogEntry e = log.entries()[0];
  EXPECT_EQ(e.text, L"Service failed on shutdown: System Error.  Code: 5.\r\n" + base::SysErrorMessage(5));
  EXPECT_EQ(e.source, L"TestSvc");
  EXPECT_EQ(e.type, 1);
  EXPECT_EQ(e.category, 0);
  EXPECT_EQ(e.event_id, 0u);
}

TEST_F(ServiceHost, EachFailingOperationIsLoggedWithItsOwnWord) {
  auto raise = [](const wchar_t* text) { return [text](auto&&...) { throw core::Exception(text); }; };
  svc.SetOnPause(raise(L"cannot pause"));
  svc.SetOnContinue(raise(L"cannot continue"));
  svc.on_interrogate = raise(L"cannot answer");
  int stops = 0;
  svc.SetOnStop([&](TService*, bool&) {
    if (++stops == 1) throw core::Exception(L"cannot stop");
  });
  svc.SetOnShutdown(raise(L"cannot shut down"));
  svc.SetOnExecute([](TService* s) {
    while (!s->Terminated()) s->ServiceThread()->ProcessRequests(true);
    throw core::Exception(L"cannot run");
  });
  Start();
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kRunning));
  for (uint32_t code : {platform::kControlPause, platform::kControlContinue,
                        platform::kControlInterrogate, platform::kControlStop,
                        platform::kControlShutdown})
    Send(code);
  ASSERT_TRUE(Finished());
  EXPECT_EQ(LogTexts(), (std::vector<std::wstring>{
                            L"Service failed on pause: cannot pause",
                            L"Service failed on continue: cannot continue",
                            L"Service failed on interrogate: cannot answer",
                            L"Service failed on stop: cannot stop",
                            L"Service failed on shutdown: cannot shut down",
                            L"Service failed on execute: cannot run",
                        }));
}

TEST_F(ServiceHost, CustomCodesChangeNothingAndTheirFailuresAreLogged) {
  svc.custom_failure = [](uint32_t code) {
    if (code == 201) throw core::Exception(L"not supported");
  };
  Start();
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kRunning));
  Send(200);
  Send(201);
  Send(platform::kControlInterrogate);  // orders the check after both
  ASSERT_TRUE(Reported(5));
  // 200 reports nothing; 201 restores (and so reports) the previous status.
  EXPECT_EQ(States(), (std::vector<uint32_t>{kStartPending, kStartPending, kRunning, kRunning, kRunning}));
  EXPECT_EQ(svc.journal.Count("custom"), 2u);
  EXPECT_EQ(LogTexts(), (std::vector<std::wstring>{L"Service failed in custom message(201): not supported"}));
}

TEST_F(ServiceHost, FailedPlatformCallsAreLoggedWithTheTrimmedSystemText) {
  errors.texts[6] = L"The handle is invalid. \r\n";
  scm.faults.FailNext("set_status", 6);
  Start();
  ASSERT_TRUE(scm.wait_for_state(L"TestSvc", kRunning));
  // The first report was lost, the service went on.
  EXPECT_EQ(States(), (std::vector<uint32_t>{kStartPending, kRunning}));
  EXPECT_EQ(LogTexts(), (std::vector<std::wstring>{L"The handle is invalid"}));
  Send(platform::kControlStop);
  ASSERT_TRUE(Finished());
}

TEST_F(ServiceHost, FailedHandlerRegistrationReportsNoStatus) {
  errors.texts[5] = L"Access is denied.";
  scm.faults.FailNext("register_control_handler", 5);
  Start();
  ASSERT_TRUE(Finished());
  EXPECT_TRUE(scm.reports(L"TestSvc").empty());
  EXPECT_EQ(LogTexts(), (std::vector<std::wstring>{L"Access is denied"}));
}

TEST_F(ServiceHost, EntryIgnoresUnknownNamesAndDispatcherNeedsAStart) {
  service::ServiceEntry({&svc}, {L"OtherSvc", L"x"});
  EXPECT_EQ(svc.ParamCount(), 0);
  EXPECT_EQ(scm.run_dispatcher({L"TestSvc"}, [](const auto&) {}).code(), 1063u);
  const std::wstring text = base::SysErrorMessage(1063);  // the platform's own words
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), L'.');
}

namespace {

// The platform's threads, except that none can be created.
class NoNewThreads : public platform::Threads {
 public:
  explicit NoNewThreads(platform::Threads& real) : real_(real) {}
  core::Result<std::unique_ptr<platform::ThreadHandle>> create_suspended(std::function<void()>) override {
    return core::Status::SystemError(8);  // not enough memory
  }
  uint32_t current_thread_id() override { return real_.current_thread_id(); }
  void name_current_thread(const char* name) override { real_.name_current_thread(name); }
  void at_current_thread_exit(void (*cleanup)(void*), void* value) override {
    real_.at_current_thread_exit(cleanup, value);
  }

 private:
  platform::Threads& real_;
};

}  // namespace

// The control manager may return at the stopped report and the process end
// there: the entry is written before, and nothing touches the service after.
TEST_F(ServiceHost, AServiceThreadThatCannotBeCreatedIsLoggedBeforeStoppedIsReported) {
  errors.texts[8] = L"Not enough memory.";
  NoNewThreads threads(*platform::host().threads);
  platform::ScopedOverride<platform::Threads> use_threads{&platform::Host::threads, &threads};
  Start();
  ASSERT_TRUE(Finished());
  EXPECT_EQ(States(), (std::vector<uint32_t>{kStartPending, kStopped}));
  EXPECT_EQ(LogTexts(), (std::vector<std::wstring>{L"Service failed on execute: System Error.  Code: 8.\r\nNot enough memory"}));
}
