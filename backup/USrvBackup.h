#pragma once
// The service itself: starts the backup program at the scheduled hours and
// whenever the central web service asks, one worker at a time.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "backup/UThreadBackup.h"
#include "backup/UThreadKelvo.h"
#include "service/service.h"
#include "soap/http_rio.h"
#include "event_loop/timer.h"

namespace backup {

inline constexpr wchar_t kServiceName[] = L"TavSrvBackup";
inline constexpr wchar_t kServiceDisplayName[] = L"TAV Servi\u00E7o de Backup";
// What the services console shows for the installed service.
inline constexpr wchar_t kServiceDescription[] = L"TAV Backup - v1.00";

// Gives the installed service its description; raises when it cannot.
using TDescribeService = std::function<void(const std::wstring& ServiceName, const std::wstring& Description)>;

class TTavSrvBackup : public service::TService {
 public:
  // Becomes the module that the control entry point reaches. Both timers
  // are armed at once, on the calling thread.
  explicit TTavSrvBackup(service::IServiceApplication* application = nullptr);
  ~TTavSrvBackup() override;

  platform::ServiceController GetServiceController() override;

  void ServiceStart(service::TService* Sender, bool& Started);
  void ServiceStop(service::TService* Sender, bool& Stopped);
  void ServiceShutdown(service::TService* Sender);
  void ServicePause(service::TService* Sender, bool& Paused);
  void ServiceContinue(service::TService* Sender, bool& Continued);
  void ServiceExecute(service::TService* Sender);
  void ServiceAfterInstall(service::TService* Sender);
  void TimerTimer(core::TComponent* Sender);
  void TimerWebTimer(core::TComponent* Sender);

  // True when a worker ran to its end; each blocks until then.
  bool RunScheduledBackup();
  bool RunKelvoBackup();
  bool StartBackupThread(int32_t Priority);
  bool StopBackupThread();
  bool StartKelvoThread(int32_t Priority);
  bool StopKelvoThread();
  void CheckKelvoRequest();
  // The WSDL location drops the service and port names; they come back.
  void PointHTTPRIOAt(const std::wstring& host);

  event_loop::TTimer Timer;
  event_loop::TTimer TimerWeb;
  soap::THTTPRIO HTTPRIO;

 private:
  static void Controller(uint32_t CtrlCode);
  bool OnServiceThread() const;
  // A launch of either kind: start the worker, wait for it, dispose of it.
  bool Launch(bool (TTavSrvBackup::*start)(int32_t), bool (TTavSrvBackup::*stop)());

  int32_t fSPri = 0;
  int32_t fTPri = 0;

 public:
  std::unique_ptr<TThreadBackup> THRBackup;
  std::unique_ptr<TThreadKelvo> THRKelvo;

  // How ServiceAfterInstall gives the installed service its description;
  // the executable wires it to the control manager (app/).
  TDescribeService DescribeService;
};

// The module the control entry point reaches, or null when there is none.
TTavSrvBackup* TavSrvBackup();

}  // namespace backup
