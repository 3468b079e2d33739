#include "service/service.h"

#include <exception>

#include "base/os_errors.h"
#include "core/format.h"
#include "core/text.h"
#include "platform/host.h"
#include "service/service_thread.h"
#include "service/service_status.h"
#include "event_loop/message_queue.h"

namespace service {

std::wstring CurrentExceptionMessage() {
  try {
    throw;
  } catch (const std::exception& e) {
    return core::ExceptionMessage(e);
  } catch (...) {
    return L"Unknown exception";
  }
}

TService::TService(std::wstring name, IServiceApplication* application) : FApplication(application) {
  SetName(std::move(name));
}

TService::~TService() = default;

void TService::SetOnStop(TStopEvent h) {
  FOnStop = std::move(h);
  FAllowStop = true;
}

void TService::SetOnPause(TPauseEvent h) {
  FOnPause = std::move(h);
  FAllowPause = true;
}

void TService::SetOnContinue(TContinueEvent h) {
  FOnContinue = std::move(h);
  FAllowPause = true;
}

bool TService::Terminated() const { return FServiceThread ? FServiceThread->Terminated() : false; }

void TService::SetStatus(TCurrentStatus value) {
  FStatus = value;
  ReportStatus();
}

uint32_t TService::ServiceTypeCode() const {
  switch (FServiceType) {
    case TServiceType::stDevice: return platform::kKernelDriver;
    case TServiceType::stFileSystem: return platform::kFileSystemDriver;
    case TServiceType::stWin32: break;
  }
  const bool shared = FApplication && FApplication->ServiceCount() > 1;
  uint32_t code = shared ? platform::kWin32ShareProcess : platform::kWin32OwnProcess;
  if (FInteractive) code |= platform::kInteractiveProcess;
  return code;
}

uint32_t TService::ControlsAccepted() const {
  uint32_t accepted = platform::kAcceptShutdown;
  if (FAllowStop) accepted |= platform::kAcceptStop;
  if (FAllowPause) accepted |= platform::kAcceptPauseContinue;
  return accepted;
}

void TService::ReportStatus() {
  const platform::ServiceStatus status = BuildServiceStatus(
      {FStatus, ServiceTypeCode(), ControlsAccepted(), FErrCode, FWin32ErrorCode, FWaitHint}, ProcessCheckPointMemory());
  const core::Status reported = platform::host().service_control->set_status(FStatusHandle, status);
  if (!reported.ok()) LogMessage(base::SysErrorMessage(reported.code()));
}

void TService::LogMessage(const std::wstring& Message, uint16_t EventType, uint16_t Category, uint32_t ID) {
  if (!FEventLogger) FEventLogger = std::make_unique<TEventLogger>(Name());
  FEventLogger->LogMessage(Message, EventType, Category, ID);
}

void TService::EnterService(const std::vector<std::wstring>& arguments) {
  FParams.insert(FParams.end(), arguments.begin(), arguments.end());
  const auto registered = platform::host().service_control->register_control_handler(Name(), GetServiceController());
  if (!registered.ok()) {
    LogMessage(base::SysErrorMessage(registered.status().code()));
    return;
  }
  FStatusHandle = registered.value();
  RunService();
}

void TService::RunService() {
  try {
    SetStatus(TCurrentStatus::csStartPending);
    auto thread = std::make_unique<TServiceThread>(this);
    FServiceThread = thread.get();
    FServiceThreadId = thread->ThreadID();
    thread->Start();
    thread->WaitFor();
  } catch (...) {
    LogFailure(L"execute");
  }
  FServiceThreadId = 0;
  FServiceThread = nullptr;
  // Stopped is reported however the start or the run ended, and last: the
  // dispatcher may return at this report and the process end under us.
  try {
    SetStatus(TCurrentStatus::csStopped);
  } catch (...) {
    // Nothing is left to tell it to: the entry thread must not raise.
  }
}

void TService::LogFailure(const std::wstring& operation) {
  LogMessage(core::Format(L"Service failed on %s: %s", {operation, CurrentExceptionMessage()}));
}

// A request that finds no service thread (before it exists or after it has
// ended) is dropped, as is a failed post. Posting is the wake-up for a
// paused service thread: it waits on its queue for the next request.
void TService::PostControlRequest(uint32_t CtrlCode) {
  if (const uint32_t thread = FServiceThreadId) {
    event_loop::PostToThread(thread, CM_SERVICE_CONTROL_CODE, CtrlCode, 0);
  }
}

bool TService::HandleStop() {
  SetStatus(TCurrentStatus::csStopPending);
  bool stopped = true;
  if (FOnStop) FOnStop(this, stopped);
  if (stopped && FServiceThread) FServiceThread->Terminate();
  return stopped;
}

bool TService::HandlePause() {
  SetStatus(TCurrentStatus::csPausePending);
  bool paused = true;
  if (FOnPause) FOnPause(this, paused);
  if (paused) {
    SetStatus(TCurrentStatus::csPaused);
    // Only the service thread parks itself; nothing else may be held here.
    // A pause taken in the final drain after a stop must not park: nothing
    // would ever wake the thread, and stopped would never be reported.
    if (FServiceThread && !FServiceThread->Terminated() && FServiceThread->ThreadID() == event_loop::CurrentThreadId())
      FServiceThread->Park();
  }
  return paused;
}

bool TService::HandleContinue() {
  SetStatus(TCurrentStatus::csContinuePending);
  bool continued = true;
  if (FOnContinue) FOnContinue(this, continued);
  if (continued) SetStatus(TCurrentStatus::csRunning);
  return continued;
}

void TService::HandleInterrogate() { ReportStatus(); }

void TService::HandleShutdown() {
  SetStatus(TCurrentStatus::csStopPending);
  try {
    if (FOnShutdown) FOnShutdown(this);
  } catch (...) {
    if (FServiceThread) FServiceThread->Terminate();
    throw;
  }
  if (FServiceThread) FServiceThread->Terminate();
}

bool TService::HandleCustomControl(uint32_t) { return true; }

void ServiceEntry(const std::vector<TService*>& services, const std::vector<std::wstring>& arguments) {
  if (arguments.empty()) return;
  for (TService* s : services) {
    if (core::SameTextIgnoringCase(s->Name(), arguments[0])) {
      s->EnterService(arguments);
      return;
    }
  }
}

}  // namespace service
