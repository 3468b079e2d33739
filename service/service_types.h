#pragma once
// The vocabulary of a service: its states, kinds and handler types.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "event_loop/message_queue.h"

namespace service {

class TService;

enum class TCurrentStatus {
  csStopped,
  csStartPending,
  csStopPending,
  csRunning,
  csContinuePending,
  csPausePending,
  csPaused
};

enum class TServiceType { stWin32, stDevice, stFileSystem };
enum class TStartType { stBoot, stSystem, stAuto, stManual, stDisabled };
enum class TErrorSeverity { esIgnore, esNormal, esSevere, esCritical };

struct TDependency {
  std::wstring Name;
  bool IsGroup = false;
};
using TDependencies = std::vector<TDependency>;

using TServiceEvent = std::function<void(TService* Sender)>;
using TStartEvent = std::function<void(TService* Sender, bool& Started)>;
using TStopEvent = std::function<void(TService* Sender, bool& Stopped)>;
using TPauseEvent = std::function<void(TService* Sender, bool& Paused)>;
using TContinueEvent = std::function<void(TService* Sender, bool& Continued)>;

// The thread message that carries a control request to the service thread.
inline constexpr uint32_t CM_SERVICE_CONTROL_CODE = event_loop::kFirstUserMessage + 1;

// The platform's dwCurrentState for a status (1 stopped ... 7 paused).
uint32_t StateCode(TCurrentStatus status);
bool IsPending(TCurrentStatus status);

}  // namespace service
