#include "backup/USrvBackup.h"

#include <algorithm>
#include <atomic>

#include "backup/run_log.h"
#include "backup/request_poll.h"
#include "backup/schedule.h"
#include "backup/web_service_location.h"
#include "platform/host.h"
#include "platform/process_info.h"
#include "service/service_thread.h"
#include "soap/http_transport.h"
#include "event_loop/message_queue.h"

namespace backup {
namespace {

constexpr uint32_t kScheduleIntervalMs = 10000;
constexpr uint32_t kPollIntervalMs = 60000;
// Launches leave the process priority class alone and run workers at normal.
constexpr int32_t kLaunchProcessPriority = 32;
constexpr int32_t kLaunchThreadPriority = 3;

std::atomic<TTavSrvBackup*> current_module{nullptr};

// 0 idle, 1 normal, 2 high, 3 real-time; anything else changes nothing.
void ApplyProcessPriority(int32_t selector) {
  static constexpr platform::PriorityClass kClasses[] = {platform::PriorityClass::Idle, platform::PriorityClass::Normal,
                                                         platform::PriorityClass::High,
                                                         platform::PriorityClass::RealTime};
  if (selector >= 0 && selector <= 3) platform::host().process->set_priority_class(kClasses[selector]);
}

// 0 idle, 1 lowest ... 3 normal ... 5 highest; anything else keeps the default.
void ApplyThreadPriority(base::TThread& thread, int32_t selector) {
  if (selector >= 0 && selector <= 5) thread.SetPriority(static_cast<base::TThreadPriority>(selector));
}

// The start and stop steps are the same for both kinds of worker.
template <class Worker>
bool StartWorker(std::unique_ptr<Worker>& worker, int32_t priority) {
  if (worker) return false;
  try {
    worker = std::make_unique<Worker>(true);
    ApplyThreadPriority(*worker, priority);
    worker->Start();
    worker->WaitFor();
    return true;
  } catch (...) {
    return false;  // the stop that follows every launch disposes of it
  }
}

template <class Worker>
bool StopWorker(std::unique_ptr<Worker>& worker) {
  if (!worker) return true;
  try {
    // A worker that never ran ends without running its body.
    worker->Terminate();
    if (worker->Suspended()) worker->Resume();
    worker->WaitFor();
    worker.reset();
    return true;
  } catch (...) {
    return false;
  }
}

// Suspends (or resumes) a live worker not yet in that state and takes the
// outcome; an absent worker leaves the outcome as it is.
template <class Worker>
void SuspendLive(std::unique_ptr<Worker>& worker, bool& outcome) {
  if (!worker || worker->Suspended()) return;
  worker->Suspend();
  outcome = worker->Suspended();
}

template <class Worker>
void ResumeSuspended(std::unique_ptr<Worker>& worker, bool& outcome) {
  if (!worker || !worker->Suspended()) return;
  worker->Resume();
  outcome = !worker->Suspended();
}

}  // namespace

TTavSrvBackup* TavSrvBackup() { return current_module.load(); }

TTavSrvBackup::TTavSrvBackup(service::IServiceApplication* application) : TService(kServiceName, application) {
  SetDisplayName(kServiceDisplayName);
  SetOnStart([this](service::TService* s, bool& started) { ServiceStart(s, started); });
  SetOnStop([this](service::TService* s, bool& stopped) { ServiceStop(s, stopped); });
  SetOnShutdown([this](service::TService* s) { ServiceShutdown(s); });
  SetOnPause([this](service::TService* s, bool& paused) { ServicePause(s, paused); });
  SetOnContinue([this](service::TService* s, bool& continued) { ServiceContinue(s, continued); });
  SetOnExecute([this](service::TService* s) { ServiceExecute(s); });
  SetAfterInstall([this](service::TService* s) { ServiceAfterInstall(s); });
  Timer.SetInterval(kScheduleIntervalMs);
  Timer.SetOnTimer([this](core::TComponent* s) { TimerTimer(s); });
  TimerWeb.SetInterval(kPollIntervalMs);
  TimerWeb.SetOnTimer([this](core::TComponent* s) { TimerWebTimer(s); });
  soap::EnsureIcoKelvoRegistered();
  PointHTTPRIOAt(BuiltInServerHost());
  HTTPRIO.HTTPWebNode().UseUTF8InHeader = true;
  HTTPRIO.HTTPWebNode().InvokeOptions = {soap::SOAPInvokeOption::soIgnoreInvalidCerts,
                                         soap::SOAPInvokeOption::soAutoCheckAccessPointViaUDDI};
  HTTPRIO.HTTPWebNode().SetWebNodeOptions({});
  HTTPRIO.DefaultConverter().Options = {
      soap::TSOAPConvertOption::soSendMultiRefObj, soap::TSOAPConvertOption::soTryAllSchema,
      soap::TSOAPConvertOption::soRootRefNodesToBody, soap::TSOAPConvertOption::soCacheMimeResponse,
      soap::TSOAPConvertOption::soUTF8EncodeXML};
  current_module = this;
}

TTavSrvBackup::~TTavSrvBackup() {
  TTavSrvBackup* self = this;
  current_module.compare_exchange_strong(self, nullptr);
  ReleaseSchedule();
}

// Runs on the dispatcher's thread and must return at once. A stop or a
// shutdown first ends a web exchange in flight, so a poll that waits on a
// hung server does not hold the request behind it.
void TTavSrvBackup::Controller(uint32_t CtrlCode) {
  TTavSrvBackup* module = current_module.load();
  if (!module) return;
  if (CtrlCode == platform::kControlStop || CtrlCode == platform::kControlShutdown)
    module->HTTPRIO.Cancel();
  module->PostControlRequest(CtrlCode);
}

platform::ServiceController TTavSrvBackup::GetServiceController() { return &Controller; }

void TTavSrvBackup::PointHTTPRIOAt(const std::wstring& host) {
  HTTPRIO.SetWSDLLocation(WSDLLocation(host));
  HTTPRIO.SetService(L"IcoKelvoservice");
  HTTPRIO.SetPort(L"IcoKelvoPort");
}

void TTavSrvBackup::ServiceStart(service::TService*, bool& Started) {
  ClaimScheduleForThisThread();
  LoadSchedule();
  Timer.SetEnabled(false);
  TimerWeb.SetEnabled(false);
  Started = ServiceEnabled;
  if (ServiceEnabled) {
    // Read only for a service that will run: a switched-off start stays
    // silent whatever else is stored. A refused host fails the start.
    PointHTTPRIOAt(CentralServerHost());
    // A launch before this start, perhaps by an earlier process, settles
    // whether an hour was missed; an unreadable record is no launch.
    if (CatchUpMissed)
      if (const std::optional<base::TDateTime> recorded = RecordedLaunch())
        LastScheduledLaunch = std::max(LastScheduledLaunch, *recorded);
    // Arming here moves both timers to the service thread.
    Timer.SetEnabled(true);
    TimerWeb.SetEnabled(true);
  } else {
    StopBackupThread();
    StopKelvoThread();
  }
}

void TTavSrvBackup::ServiceStop(service::TService*, bool& Stopped) {
  StopBackupThread();
  Stopped = StopKelvoThread();
  // A refused stop leaves the service running: later polls may call again.
  if (!Stopped) HTTPRIO.ResetCancel();
}

void TTavSrvBackup::ServiceShutdown(service::TService*) {
  StopBackupThread();
  StopKelvoThread();
}

void TTavSrvBackup::ServicePause(service::TService*, bool& Paused) {
  bool outcome = true;
  SuspendLive(THRBackup, outcome);
  SuspendLive(THRKelvo, outcome);
  if (!outcome) Paused = false;
}

void TTavSrvBackup::ServiceContinue(service::TService*, bool& Continued) {
  bool outcome = true;
  ResumeSuspended(THRBackup, outcome);
  ResumeSuspended(THRKelvo, outcome);
  if (!outcome) Continued = false;
}

void TTavSrvBackup::ServiceExecute(service::TService*) {
  while (!Terminated()) ServiceThread()->ProcessRequests(true);
}

void TTavSrvBackup::ServiceAfterInstall(service::TService*) {
  if (DescribeService) DescribeService(Name(), kServiceDescription);
}

// Until the start moves them, the timers tick on the main thread, while the
// service thread may be loading the schedule: such a tick does nothing.
bool TTavSrvBackup::OnServiceThread() const {
  const uint32_t thread = ServiceThreadId();
  return thread != 0 && thread == event_loop::CurrentThreadId();
}

void TTavSrvBackup::TimerTimer(core::TComponent*) {
  if (!OnServiceThread()) return;
  ScheduleTick({[this] { return RunScheduledBackup(); }, [this](bool on) { Timer.SetEnabled(on); }});
}

void TTavSrvBackup::TimerWebTimer(core::TComponent*) {
  if (OnServiceThread()) CheckKelvoRequest();
}

void TTavSrvBackup::CheckKelvoRequest() {
  backup::RunRequestPoll({[this](bool on) { TimerWeb.SetEnabled(on); }, [this] { return HTTPRIO.GetIcoKelvo(); },
                             [this] { return RunKelvoBackup(); },
                             [this](bool on) {
                               if (on) HTTPRIO.StartBudget(backup::kPollWebBudgetMs);
                               else HTTPRIO.EndBudget();
                             }});
}

bool TTavSrvBackup::RunScheduledBackup() {
  return Launch(&TTavSrvBackup::StartBackupThread, &TTavSrvBackup::StopBackupThread);
}

bool TTavSrvBackup::RunKelvoBackup() {
  return Launch(&TTavSrvBackup::StartKelvoThread, &TTavSrvBackup::StopKelvoThread);
}

bool TTavSrvBackup::Launch(bool (TTavSrvBackup::*start)(int32_t), bool (TTavSrvBackup::*stop)()) {
  if (!ServiceEnabled) return false;
  fSPri = kLaunchProcessPriority;
  fTPri = kLaunchThreadPriority;
  ApplyProcessPriority(fSPri);
  const bool ok = (this->*start)(fTPri);
  (this->*stop)();
  return ok;
}

bool TTavSrvBackup::StartBackupThread(int32_t Priority) { return StartWorker(THRBackup, Priority); }
bool TTavSrvBackup::StopBackupThread() { return StopWorker(THRBackup); }
bool TTavSrvBackup::StartKelvoThread(int32_t Priority) { return StartWorker(THRKelvo, Priority); }
bool TTavSrvBackup::StopKelvoThread() { return StopWorker(THRKelvo); }

}  // namespace backup
