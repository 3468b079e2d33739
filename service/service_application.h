#pragma once
// The process-level host of the service modules: reads the command line,
// installs or removes the services, or runs them under the control
// manager's dispatcher on a thread of its own while the main thread pumps.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/thread.h"
#include "service/event_logger.h"
#include "service/service.h"
#include "event_loop/application.h"

namespace service {

// A command line split as the process's arguments: at white space, double
// quotes grouping characters into one argument and removed. The program first.
std::vector<std::wstring> CommandLineArguments(const std::wstring& command_line);

// Runs the platform's dispatcher for the services; when it returns, posts
// the quit message to `quit_window`.
class TServiceStartThread : public base::TThread {
 public:
  TServiceStartThread(std::vector<TService*> services, event_loop::WindowHandle quit_window);
  ~TServiceStartThread() override { TerminateAndWait(); }
  // 0, or the dispatcher's error code once the thread has ended.
  uint32_t ReturnValue() const { return FReturnValue; }

 protected:
  void Execute() override;

 private:
  std::vector<TService*> FServices;
  std::vector<std::wstring> FServiceStartTable;
  event_loop::WindowHandle FQuitWindow;
  std::atomic<uint32_t> FReturnValue{0};
};

class TServiceApplication : public core::TComponent, public IServiceApplication {
 public:
  // Takes the command line of the process; the event log source is the
  // executable's file name.
  explicit TServiceApplication(event_loop::TApplication& application);
  ~TServiceApplication() override;
  TServiceApplication(const TServiceApplication&) = delete;
  TServiceApplication& operator=(const TServiceApplication&) = delete;

  bool DelayInitialize() const override { return FDelayInitialize; }
  void SetDelayInitialize(bool value) { FDelayInitialize = value; }
  void Initialize() override;
  int ServiceCount() const override { return static_cast<int>(Services().size()); }

  // Constructs a module owned by this application, with `args` and the
  // application last; `Reference` is null when the construction fails.
  template <class T, class... Args>
  void CreateForm(T*& Reference, Args&&... args) {
    Reference = nullptr;
    auto instance = std::make_unique<T>(std::forward<Args>(args)..., static_cast<IServiceApplication*>(this));
    Reference = instance.get();
    FComponents.push_back(std::move(instance));
  }

  // True when an argument is "-" or "/" followed by `Name`, in any letter case.
  bool HasSwitch(const std::wstring& Name) const;
  bool Installing() const { return HasSwitch(L"INSTALL") || HasSwitch(L"UNINSTALL"); }

  // The rest of the process's life: an install or uninstall run, or the
  // services under the dispatcher until every one has stopped.
  void Run();
  // Writes the message under the application's source; any thread.
  void LogUnhandledException(const std::wstring& message);
  // Destroys the owned modules (their timers go with them).
  void ReleaseAtExit();

  std::vector<TService*> Services() const;

  // What "/STATUS" and "/HELP" (or "/?") run instead of the services; each
  // returns the exit code. Unset, the switch runs the services as any other.
  std::function<int()> OnStatus;
  std::function<int()> OnHelp;
  // What a successful install warns of, one sentence each.
  std::function<std::vector<std::wstring>()> InstallWarnings;
  // Of the run: 0, or what a command returned.
  int ExitCode() const { return FExitCode; }

 private:
  void RunServices();
  void TellInstallWarnings();

  event_loop::TApplication& FApplication;
  bool FDelayInitialize = false;
  bool FInitialized = false;
  int FExitCode = 0;
  std::wstring FCommandLine;
  std::mutex FLogMutex;
  TEventLogger FEventLogger;
  std::vector<std::unique_ptr<core::TComponent>> FComponents;
};

// The whole process after the platform set is installed: the application
// objects, the modules `create_forms` makes, then Run. An exception that
// escapes is shown in the "Application Error" box, or written to the event
// log where no box could be seen. Returns the exit code.
int RunServiceProcess(const std::function<void(TServiceApplication&)>& create_forms);

}  // namespace service
