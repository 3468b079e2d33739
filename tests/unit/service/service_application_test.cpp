#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "base/os_errors.h"
#include "core/utf.h"
#include "process_fixture.h"
#include "service/service_application.h"
#include "support/wait_until.h"
#include "event_loop/application.h"
#include "event_loop/timer.h"

using namespace process_test;
using namespace std::chrono_literals;
using service::TServiceApplication;

namespace {

constexpr uint32_t kRunning = 4, kStopped = 1;

class ServiceApplication : public ServiceProcess {
 protected:
  // The process's life with `line` after the program's path; its exit code.
  int RunProcess(const std::wstring& arguments,
                 const std::function<void(TServiceApplication&)>& also = {}) {
    process.line = L"\"" + kExecutable + L"\" " + arguments;
    return service::RunServiceProcess([&](TServiceApplication& app) {
      PlainService* module = nullptr;
      app.CreateForm(module);
      if (also) also(app);
    });
  }

  // Stops the service once it runs, after `while_running` on this thread.
  std::thread StopWhenRunning(std::function<void()> while_running = {}) {
    return std::thread([this, while_running] {
      ASSERT_TRUE(scm.wait_for_state(L"PlainSvc", kRunning));
      if (while_running) while_running();
      scm.send_control(L"PlainSvc", platform::kControlStop);
    });
  }

  std::vector<std::wstring> EntriesOfTheApplication() const {
    std::vector<std::wstring> texts;
    for (const auto& e : log.entries()) {
      EXPECT_EQ(e.source, kExecutableName);
      EXPECT_EQ(e.type, 1);
      EXPECT_EQ(e.category, 0);
      EXPECT_EQ(e.event_id, 0u);
      texts.push_back(e.text);
    }
    return texts;
  }
};

TEST(CommandLine, SplitsAtBlanksWithQuotesGroupingAndRemoved) {
  EXPECT_EQ(service::CommandLineArguments(L"  \"C:\\Program Files\\a.exe\"  /x \"a b\"c \"\" \t-y"),
            (std::vector<std::wstring>{L"C:\\Program Files\\a.exe", L"/x", L"a bc", L"", L"-y"}));
}

TEST_F(ServiceApplication, SwitchesAreDashOrSlashAndTheNameInAnyCase) {
  struct Case {
    const wchar_t* arguments;
    bool install;
  };
  const Case cases[] = {
      {L"/INSTALL", true},          {L"-install", true},        {L"/InStAlL /silent", true},
      {L"\"/install\"", true},      {L"/ins\"tall\"", true},     {L"/install:yes", false},
      {L"//install", false},        {L"--install", false},      {L"install", false},
      {L"/installer", false},       {L"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.arguments, c.arguments + wcslen(c.arguments)));
    process.line = L"\"" + kExecutable + L"\" " + c.arguments;
    event_loop::TApplication application;
    TServiceApplication app(application);
    EXPECT_EQ(app.HasSwitch(L"INSTALL"), c.install);
    EXPECT_EQ(app.Installing(), c.install);
  }
  process.line = L"\"C:\\dir /install\\SrvBackupVostrani.exe\"";
  event_loop::TApplication application;
  EXPECT_FALSE(TServiceApplication(application).HasSwitch(L"install")) << "the program's own path is no switch";
}

TEST_F(ServiceApplication, StartedByHandWritesOneEntryForTheDispatcherAndEndsWithZero) {
  EXPECT_EQ(RunProcess(L""), 0);
  EXPECT_EQ(EntriesOfTheApplication(), (std::vector<std::wstring>{base::SysErrorMessage(1063)}));
  EXPECT_TRUE(dialogs.shown().empty());
  EXPECT_TRUE(scm.reports(L"PlainSvc").empty());
}

TEST_F(ServiceApplication, UnrecognisedSwitchesRunAsAService) {
  EXPECT_EQ(RunProcess(L"/install:yes --uninstall"), 0);
  EXPECT_EQ(EntriesOfTheApplication().size(), 1u);
  EXPECT_TRUE(database.services().empty());
}

TEST_F(ServiceApplication, RunsTheServiceUntilItStopsAndSurvivesTheEndOfALogon) {
  scm.start_service(L"PlainSvc");
  std::atomic<bool> loop_alive_after_logoff{false};
  std::thread controller = StopWhenRunning([&] {
    event_loop::TApplication* application = event_loop::Application();
    event_loop::PostToWindow(application->Handle(), event_loop::kEndSessionMessage, 0, 0);
    std::atomic<bool> ran{false};
    application->QueueOnMainThread([&] { ran = true; });
    loop_alive_after_logoff = testing_support::WaitUntil([&] { return ran.load(); });
  });
  EXPECT_EQ(RunProcess(L""), 0);
  controller.join();
  EXPECT_TRUE(loop_alive_after_logoff);
  EXPECT_TRUE(scm.wait_for_state(L"PlainSvc", kStopped, 0ms));
  EXPECT_TRUE(log.entries().empty());
}

TEST_F(ServiceApplication, ExceptionsOnTheMainThreadAreLoggedAndTheLoopGoesOn) {
  scm.start_service(L"PlainSvc");
  std::thread controller = StopWhenRunning([&] {
    testing_support::WaitUntil([&] { return log.entries().size() >= 2; });
  });
  std::atomic<int> ticks{0};
  event_loop::TTimer timer;
  EXPECT_EQ(RunProcess(L"", [&](TServiceApplication&) {
              timer.SetOnTimer([&](core::TComponent*) {
                const int tick = ++ticks;
                if (tick == 1) throw core::EAbort(L"dropped");
                if (tick == 2) throw core::Exception(L"tick failed");
                if (tick == 3)
                  event_loop::Application()->QueueOnMainThread([] { throw std::runtime_error("queued failed"); });
              });
              timer.SetInterval(1);
            }),
            0);
  timer.SetEnabled(false);
  controller.join();
  EXPECT_EQ(EntriesOfTheApplication(), (std::vector<std::wstring>{L"tick failed", L"queued failed"}));
}

TEST_F(ServiceApplication, InstallTakesPrecedenceAndSilentHidesOnlySuccess) {
  EXPECT_EQ(RunProcess(L"/UNINSTALL -Install"), 0);
  EXPECT_EQ(database.services().size(), 1u);
  ASSERT_EQ(dialogs.shown().size(), 1u);
  EXPECT_EQ(dialogs.shown()[0].text, L"Service installed successfully");

  EXPECT_EQ(RunProcess(L"/install /silent"), 1073);
  EXPECT_EQ(dialogs.shown().size(), 2u) << "the failure is shown";
  EXPECT_EQ(RunProcess(L"/uninstall /silent"), 0);
  EXPECT_EQ(dialogs.shown().size(), 2u);
  EXPECT_TRUE(database.services().empty());
  EXPECT_EQ(RunProcess(L"/uninstall /silent"), 1060);
  database.faults.FailNext("open_manager", 5);
  EXPECT_EQ(RunProcess(L"/install"), 5) << "without rights";
  EXPECT_TRUE(log.entries().empty());
}

TEST_F(ServiceApplication, ASuccessfulInstallTellsItsWarningsEvenWhenSilent) {
  auto warn = [](TServiceApplication& app) {
    app.InstallWarnings = [] { return std::vector<std::wstring>{L"C:\\TAV may be written by BUILTIN\\Users"}; };
  };
  EXPECT_EQ(RunProcess(L"/install", warn), 0);
  ASSERT_EQ(dialogs.shown().size(), 2u);
  EXPECT_EQ(dialogs.shown()[1].caption, L"Warning");
  EXPECT_EQ(dialogs.shown()[1].text, L"Warning: C:\\TAV may be written by BUILTIN\\Users.\n");
  EXPECT_EQ(RunProcess(L"/uninstall /silent", warn), 0) << "an uninstall has nothing to warn of";
  EXPECT_EQ(RunProcess(L"/install /silent", warn), 0);
  EXPECT_EQ(dialogs.shown().size(), 2u);
  EXPECT_EQ(dialogs.errors(), (std::vector<std::wstring>{L"Warning: Warning: C:\\TAV may be written by BUILTIN\\Users.\n"}));
}

TEST_F(ServiceApplication, EscapingExceptionsShowTheApplicationErrorBoxAndEndWithOne) {
  RecordingDialogs boxes;
  platform::ScopedOverride<platform::Dialogs> use_boxes{&platform::Host::dialogs, &boxes};
  const std::wstring text =
      L"Exception EConvertError in module SrvBackupVostrani.exe at 0000000000000000.\r\nno module.\r\n";
  auto fail = [](TServiceApplication&) { throw core::EConvertError(L"no module."); };
  EXPECT_EQ(RunProcess(L"", fail), 1);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].caption, L"Application Error");
  EXPECT_EQ(boxes.shown()[0].text, text);
  EXPECT_EQ(boxes.shown()[0].icon, platform::DialogIcon::Error);
  EXPECT_TRUE(log.entries().empty());

  // In a service nobody could close the box: the process would never end.
  boxes.visible = false;
  EXPECT_EQ(RunProcess(L"", fail), 1);
  EXPECT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(EntriesOfTheApplication(), std::vector<std::wstring>{text});
  EXPECT_EQ(boxes.errors(), std::vector<std::wstring>{L"Application Error: " + text});
}

TEST_F(ServiceApplication, ModulesAreOwnedAndCountedAndReleasedAtExit) {
  event_loop::TApplication application;
  TServiceApplication app(application);
  PlainService* module = nullptr;
  app.CreateForm(module);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module->Application(), &app);
  EXPECT_EQ(app.ServiceCount(), 1);
  EXPECT_EQ(module->ServiceTypeCode(), 0x10u);
  app.ReleaseAtExit();
  EXPECT_EQ(app.ServiceCount(), 0);
  EXPECT_EQ(PlainService::instance, nullptr);
}

}  // namespace

TEST_F(ServiceApplication, StatusAndHelpRunInsteadOfTheServicesAndGiveTheExitCode) {
  struct Case {
    const wchar_t* arguments;
    const char* ran;  // "status", "help", or "" for the services
    int exit_code;
  } cases[] = {
      {L"/STATUS", "status", 2}, {L"-status", "status", 2}, {L"/Help", "help", 0},   {L"/?", "help", 0},
      {L"-?", "help", 0},        {L"/statusx", "", 0},      {L"//status", "", 0},   {L"status", "", 0},
  };
  for (const auto& c : cases) {
    std::string ran;
    const size_t entries_before = log.entries().size();
    const int exit_code = RunProcess(c.arguments, [&](TServiceApplication& app) {
      app.OnStatus = [&] { ran = "status"; return 2; };
      app.OnHelp = [&] { ran = "help"; return 0; };
    });
    EXPECT_EQ(ran, c.ran) << core::ToUtf8(c.arguments);
    EXPECT_EQ(exit_code, c.exit_code) << core::ToUtf8(c.arguments);
    // Only the services' run asks the control manager, and gets 1063 here.
    EXPECT_EQ(log.entries().size() - entries_before, std::string(c.ran).empty() ? 1u : 0u)
        << core::ToUtf8(c.arguments);
    TearDown();
  }
}
