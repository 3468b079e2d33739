#include "service/service_application.h"

#include <exception>

#include "base/os_errors.h"
#include "base/paths.h"
#include "core/text.h"
#include "platform/dialogs.h"
#include "platform/host.h"
#include "platform/process_info.h"
#include "platform/service_control.h"
#include "service/administrator_message.h"
#include "service/installation.h"
#include "event_loop/message_queue.h"

namespace service {

namespace {

// Inside a catch block: the class name the unhandled-exception box shows.
std::wstring CurrentExceptionClassName() {
  try {
    throw;
  } catch (const core::Exception& e) {
    return e.ClassName();
  } catch (const std::exception&) {
    return L"Exception";
  } catch (...) {
    return L"(unknown)";
  }
}

// Inside a catch block. C++ exceptions carry no raising address; the
// module is the executable, the only module of ours.
// Without a visible window station (a service) nobody could close the box
// and the process would never end: the text goes to the event log instead.
void ShowUnhandledException() {
  const std::wstring text = event_loop::UnhandledExceptionText(CurrentExceptionClassName(), base::ExecutableFileName(), 0,
                                                           CurrentExceptionMessage());
  TellAdministrator(L"Application Error", text, platform::DialogIcon::Error);
}

}  // namespace

std::vector<std::wstring> CommandLineArguments(const std::wstring& command_line) {
  std::vector<std::wstring> arguments;
  size_t i = 0;
  const size_t n = command_line.size();
  for (;;) {
    while (i < n && command_line[i] <= L' ') ++i;
    if (i >= n) return arguments;
    std::wstring argument;
    bool quoted = false;
    for (; i < n && (quoted || command_line[i] > L' '); ++i) {
      if (command_line[i] == L'"') quoted = !quoted;
      else argument += command_line[i];
    }
    arguments.push_back(std::move(argument));
  }
}

TServiceStartThread::TServiceStartThread(std::vector<TService*> services, event_loop::WindowHandle quit_window)
    : TThread(false), FServices(std::move(services)), FQuitWindow(quit_window) {
  for (TService* s : FServices) FServiceStartTable.push_back(s->Name());
  Start();
}

void TServiceStartThread::Execute() {
  NameThreadForDebugging("service start");
  // The main loop ends with the dispatcher, however the dispatcher ends.
  struct QuitWhenDone {
    event_loop::WindowHandle window;
    ~QuitWhenDone() { event_loop::PostToWindow(window, event_loop::kQuitMessage, 0, 0); }
  } quit{FQuitWindow};
  const core::Status dispatched = platform::host().service_control->run_dispatcher(
      FServiceStartTable, [this](const std::vector<std::wstring>& arguments) { ServiceEntry(FServices, arguments); });
  FReturnValue = dispatched.code();
}

TServiceApplication::TServiceApplication(event_loop::TApplication& application)
    : FApplication(application),
      FCommandLine(platform::host().process->command_line()),
      FEventLogger(base::ExecutableFileName()) {
  // A user's logging off must not end the services' process.
  FApplication.HookMainWindow([](const event_loop::TMessage& m) { return m.message == event_loop::kEndSessionMessage; });
}

TServiceApplication::~TServiceApplication() { ReleaseAtExit(); }

void TServiceApplication::Initialize() {
  if (FInitialized) return;
  FInitialized = true;
  FApplication.ShowMainForm = false;
}

std::vector<TService*> TServiceApplication::Services() const {
  std::vector<TService*> services;
  for (const auto& c : FComponents)
    if (auto* s = dynamic_cast<TService*>(c.get())) services.push_back(s);
  return services;
}

bool TServiceApplication::HasSwitch(const std::wstring& Name) const {
  const std::vector<std::wstring> arguments = CommandLineArguments(FCommandLine);
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::wstring& a = arguments[i];
    if (!a.empty() && (a[0] == L'-' || a[0] == L'/') && core::SameTextIgnoringCase(a.substr(1), Name)) return true;
  }
  return false;
}

void TServiceApplication::Run() {
  if (HasSwitch(L"INSTALL")) {
    FExitCode = static_cast<int>(RegisterAll(Services(), true, HasSwitch(L"SILENT")));
    if (FExitCode == 0) TellInstallWarnings();
  } else if (HasSwitch(L"UNINSTALL")) {
    FExitCode = static_cast<int>(RegisterAll(Services(), false, HasSwitch(L"SILENT")));
  } else if (OnStatus && HasSwitch(L"STATUS")) {
    FExitCode = OnStatus();
  } else if (OnHelp && (HasSwitch(L"HELP") || HasSwitch(L"?"))) {
    FExitCode = OnHelp();
  } else {
    RunServices();
  }
}

// Told even to a silent install, on standard error then: they concern the
// safety of what was just installed. They do not fail the install.
void TServiceApplication::TellInstallWarnings() {
  if (!InstallWarnings) return;
  std::wstring text;
  for (const std::wstring& warning : InstallWarnings()) text += L"Warning: " + warning + L".\n";
  if (text.empty()) return;
  if (HasSwitch(L"SILENT")) platform::host().dialogs->write_error(L"Warning", text);
  else TellAdministrator(L"Warning", text, platform::DialogIcon::Information);
}

void TServiceApplication::RunServices() {
  FApplication.OnException = [this](core::TComponent*, const std::exception& e) {
    LogUnhandledException(core::ExceptionMessage(e));
  };
  auto start_thread = std::make_unique<TServiceStartThread>(Services(), FApplication.Handle());
  while (!FApplication.Terminated()) {
    try {
      FApplication.HandleMessage();
    } catch (...) {
      LogUnhandledException(CurrentExceptionMessage());
    }
  }
  FApplication.Terminate();
  start_thread->WaitFor();
  if (const uint32_t code = start_thread->ReturnValue()) LogUnhandledException(base::SysErrorMessage(code));
}

void TServiceApplication::LogUnhandledException(const std::wstring& message) {
  std::lock_guard lock(FLogMutex);
  FEventLogger.LogMessage(message, platform::kEventLogErrorType, 0, 0);
}

void TServiceApplication::ReleaseAtExit() {
  while (!FComponents.empty()) FComponents.pop_back();
}

int RunServiceProcess(const std::function<void(TServiceApplication&)>& create_forms) {
  try {
    event_loop::TApplication application;
    TServiceApplication service_application(application);
    int exit_code = 0;
    try {
      if (!service_application.DelayInitialize() || service_application.Installing()) service_application.Initialize();
      create_forms(service_application);
      service_application.Run();
      exit_code = service_application.ExitCode();
    } catch (...) {
      ShowUnhandledException();
      exit_code = 1;
    }
    service_application.ReleaseAtExit();
    return exit_code;
  } catch (...) {
    ShowUnhandledException();
    return 1;
  }
}

}  // namespace service
