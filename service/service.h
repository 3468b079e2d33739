#pragma once
// The base of a service module: its properties, the control requests the
// service thread carries out for it, and its reports to the control manager.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/service_control.h"
#include "service/event_logger.h"
#include "service/service_types.h"
#include "core/component.h"

namespace service {

class TServiceThread;

// What a service needs of the process-level application that owns it.
class IServiceApplication {
 public:
  virtual ~IServiceApplication() = default;
  virtual bool DelayInitialize() const = 0;
  virtual void Initialize() = 0;
  virtual int ServiceCount() const = 0;
};

class TService : public core::TComponent {
 public:
  explicit TService(std::wstring name, IServiceApplication* application = nullptr);
  ~TService() override;
  TService(const TService&) = delete;
  TService& operator=(const TService&) = delete;

  // Start arguments, the service name first; runs the service to its end.
  void EnterService(const std::vector<std::wstring>& arguments);
  // Queues a control request for the service thread and returns at once.
  void PostControlRequest(uint32_t CtrlCode);
  void ReportStatus();
  void LogMessage(const std::wstring& Message, uint16_t EventType = platform::kEventLogErrorType,
                  uint16_t Category = 0, uint32_t ID = 0);

  // The module's control entry point: calls PostControlRequest on it.
  virtual platform::ServiceController GetServiceController() = 0;

  TCurrentStatus Status() const { return FStatus; }
  void SetStatus(TCurrentStatus value);  // reports it
  TServiceThread* ServiceThread() const { return FServiceThread; }
  // 0 when there is none; safe to ask from any thread.
  uint32_t ServiceThreadId() const { return FServiceThreadId; }
  bool Terminated() const;

  int ParamCount() const { return static_cast<int>(FParams.size()); }
  const std::wstring& Param(int index) const { return FParams.at(index); }

  bool AllowStop() const { return FAllowStop; }
  void SetAllowStop(bool v) { FAllowStop = v; }
  bool AllowPause() const { return FAllowPause; }
  void SetAllowPause(bool v) { FAllowPause = v; }
  std::wstring DisplayName() const { return FDisplayName.empty() ? Name() : FDisplayName; }
  void SetDisplayName(std::wstring v) { FDisplayName = std::move(v); }
  uint32_t ErrCode() const { return FErrCode; }
  void SetErrCode(uint32_t v) { FErrCode = v; }
  uint32_t Win32ErrCode() const { return FWin32ErrorCode; }
  void SetWin32ErrCode(uint32_t v) { FWin32ErrorCode = v; }
  int32_t WaitHint() const { return FWaitHint; }
  void SetWaitHint(int32_t v) { FWaitHint = v; }
  bool Interactive() const { return FInteractive; }
  void SetInteractive(bool v) { FInteractive = v; }
  TServiceType ServiceType() const { return FServiceType; }
  void SetServiceType(TServiceType v) { FServiceType = v; }
  TStartType StartType() const { return FStartType; }
  void SetStartType(TStartType v) { FStartType = v; }
  TErrorSeverity ErrorSeverity() const { return FErrorSeverity; }
  void SetErrorSeverity(TErrorSeverity v) { FErrorSeverity = v; }
  TDependencies& Dependencies() { return FDependencies; }
  const std::wstring& LoadGroup() const { return FLoadGroup; }
  void SetLoadGroup(std::wstring v) { FLoadGroup = std::move(v); }
  const std::wstring& Password() const { return FPassword; }
  void SetPassword(std::wstring v) { FPassword = std::move(v); }
  const std::wstring& ServiceStartName() const { return FServiceStartName; }
  void SetServiceStartName(std::wstring v) { FServiceStartName = std::move(v); }
  uint32_t TagID() const { return FTagID; }
  void SetTagID(uint32_t v) { FTagID = v; }
  IServiceApplication* Application() const { return FApplication; }

  uint32_t ServiceTypeCode() const;
  uint32_t ControlsAccepted() const;

  // Assigning OnStop allows stop; OnPause or OnContinue allows pause.
  void SetOnStart(TStartEvent h) { FOnStart = std::move(h); }
  void SetOnStop(TStopEvent h);
  void SetOnPause(TPauseEvent h);
  void SetOnContinue(TContinueEvent h);
  void SetOnExecute(TServiceEvent h) { FOnExecute = std::move(h); }
  void SetOnShutdown(TServiceEvent h) { FOnShutdown = std::move(h); }
  void SetBeforeInstall(TServiceEvent h) { FBeforeInstall = std::move(h); }
  void SetAfterInstall(TServiceEvent h) { FAfterInstall = std::move(h); }
  void SetBeforeUninstall(TServiceEvent h) { FBeforeUninstall = std::move(h); }
  void SetAfterUninstall(TServiceEvent h) { FAfterUninstall = std::move(h); }
  const TStartEvent& OnStart() const { return FOnStart; }
  const TServiceEvent& OnExecute() const { return FOnExecute; }
  const TServiceEvent& BeforeInstall() const { return FBeforeInstall; }
  const TServiceEvent& AfterInstall() const { return FAfterInstall; }
  const TServiceEvent& BeforeUninstall() const { return FBeforeUninstall; }
  const TServiceEvent& AfterUninstall() const { return FAfterUninstall; }

 protected:
  friend class TServiceThread;
  virtual void RunService();
  virtual bool HandleStop();
  virtual bool HandlePause();
  virtual bool HandleContinue();
  virtual void HandleInterrogate();
  virtual void HandleShutdown();
  virtual bool HandleCustomControl(uint32_t CtrlCode);

 private:
  // Inside a catch block: logs the exception as a failure of `operation`.
  void LogFailure(const std::wstring& operation);

  bool FAllowStop = true;
  bool FAllowPause = true;
  TDependencies FDependencies;
  std::wstring FDisplayName;
  uint32_t FErrCode = 0;
  TErrorSeverity FErrorSeverity = TErrorSeverity::esNormal;
  std::unique_ptr<TEventLogger> FEventLogger;
  bool FInteractive = false;
  std::wstring FLoadGroup;
  std::vector<std::wstring> FParams;
  std::wstring FPassword;
  std::wstring FServiceStartName;
  TServiceThread* FServiceThread = nullptr;
  TServiceType FServiceType = TServiceType::stWin32;
  TStartType FStartType = TStartType::stAuto;
  TCurrentStatus FStatus = TCurrentStatus::csStopped;
  platform::ServiceStatusHandle FStatusHandle = 0;
  uint32_t FTagID = 0;
  int32_t FWaitHint = 5000;
  uint32_t FWin32ErrorCode = 0;
  TServiceEvent FBeforeInstall, FAfterInstall, FBeforeUninstall, FAfterUninstall;
  TContinueEvent FOnContinue;
  TServiceEvent FOnExecute;
  TPauseEvent FOnPause;
  TServiceEvent FOnShutdown;
  TStartEvent FOnStart;
  TStopEvent FOnStop;
  IServiceApplication* FApplication;
  // The control entry point runs on the dispatcher's thread and reaches
  // the service thread only through its id, which is 0 while there is none.
  std::atomic<uint32_t> FServiceThreadId{0};
};

// The entry the dispatcher calls for each started service: hands the start
// arguments to the service whose name matches the first, ignoring case.
void ServiceEntry(const std::vector<TService*>& services, const std::vector<std::wstring>& arguments);

// The message of the exception being handled, for log entries.
std::wstring CurrentExceptionMessage();

}  // namespace service
