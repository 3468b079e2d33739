#include "service/service_thread.h"

#include "core/format.h"
#include "service/service.h"
#include "event_loop/message_queue.h"

namespace service {

namespace {

const wchar_t* OperationWord(uint32_t code) {
  switch (code) {
    case platform::kControlStop: return L"stop";
    case platform::kControlPause: return L"pause";
    case platform::kControlContinue: return L"continue";
    case platform::kControlInterrogate: return L"interrogate";
    case platform::kControlShutdown: return L"shutdown";
    default: return nullptr;
  }
}

bool IsControlRequest(const event_loop::TMessage& m) { return m.window == 0 && m.message == CM_SERVICE_CONTROL_CODE; }

}  // namespace

void TServiceThread::Execute() {
  owner_.Claim();
  // The queue exists before anything is reported, so requests sent from
  // then on wait in it.
  event_loop::EnsureMessageQueue();
  try {
    IServiceApplication* app = FService->Application();
    if (app && app->DelayInitialize()) app->Initialize();
    FService->SetStatus(TCurrentStatus::csStartPending);
    bool started = true;
    if (FService->FOnStart) FService->FOnStart(FService, started);
    if (!started) return;
    try {
      FService->SetStatus(TCurrentStatus::csRunning);
      if (FService->FOnExecute) FService->FOnExecute(FService);
      else ProcessRequests(true);
      ProcessRequests(false);
    } catch (...) {
      FService->LogFailure(L"execute");
    }
  } catch (...) {
    FService->LogFailure(L"start");
  }
}

void TServiceThread::ProcessRequests(bool WaitForMessage) {
  owner_.Check("TServiceThread::ProcessRequests");
  for (;;) {
    if (WaitForMessage && Terminated()) return;
    event_loop::TMessage message;
    if (WaitForMessage) {
      if (!event_loop::TakeMessage(message)) return;
    } else if (!event_loop::TryTakeMessage(message)) {
      return;
    }
    if (IsControlRequest(message)) HandleControlRequest(static_cast<uint32_t>(message.wparam));
    else event_loop::DispatchToWindow(message);
  }
}

void TServiceThread::HandleControlRequest(uint32_t code) {
  owner_.Check("TServiceThread::HandleControlRequest");
  const TCurrentStatus previous = FService->Status();
  bool ok = true;
  try {
    switch (code) {
      case platform::kControlStop: ok = FService->HandleStop(); break;
      case platform::kControlPause: ok = FService->HandlePause(); break;
      case platform::kControlContinue: ok = FService->HandleContinue(); break;
      case platform::kControlInterrogate: FService->HandleInterrogate(); break;
      case platform::kControlShutdown: FService->HandleShutdown(); break;
      default: ok = FService->HandleCustomControl(code); break;
    }
    if (!ok) FService->SetStatus(previous);
  } catch (...) {
    if (code != platform::kControlShutdown) FService->SetStatus(previous);
    if (const wchar_t* word = OperationWord(code)) {
      FService->LogFailure(word);
    } else {
      FService->LogMessage(core::Format(L"Service failed in custom message(%d): %s",
                                        {static_cast<int64_t>(code), CurrentExceptionMessage()}));
    }
  }
}

// Parking on the queue rather than suspending the thread: a request posted
// at any moment of the pause, even before the thread has begun to wait,
// is in the queue and ends the wait. Ticks are not looked at meanwhile.
void TServiceThread::Park() {
  owner_.Check("TServiceThread::Park");
  parked_ = true;
  event_loop::ParkUntil(IsControlRequest);
  parked_ = false;
}

}  // namespace service
