#include "event_loop/timer.h"

#include "core/exceptions.h"
#include "event_loop/application.h"

namespace event_loop {

namespace {
constexpr uint32_t kTimerId = 1;
}

TTimer::~TTimer() {
  enabled_ = false;
  UpdateTimer();
}

void TTimer::SetInterval(uint32_t milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  UpdateTimer();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  on_timer_ = std::move(handler);
  UpdateTimer();
}

// The first thread to arm a timer without a window becomes its thread; a
// timer that stays armed keeps its window, and so its thread.
// A window that went away with its thread is forgotten, so the timer can
// be armed again on the calling thread.
void TTimer::UpdateTimer() {
  if (window_ && !IsWindow(window_)) ForgetWindow();
  if (window_) KillTimer(window_, kTimerId);
  if (interval_ != 0 && enabled_ && on_timer_) {
    if (window_) {
      owner_.Check("TTimer re-armed");
    } else {
      window_ = CreateMessageWindow([this](const TMessage& m) { WindowProcedure(m); });
      owner_.Claim();
    }
    if (!SetTimer(window_, kTimerId, interval_)) throw core::EOutOfResources(L"Not enough timers available");
  } else if (window_) {
    DestroyMessageWindow(window_);
    ForgetWindow();
  }
}

void TTimer::ForgetWindow() {
  window_ = 0;
  owner_.Release();
}

void TTimer::WindowProcedure(const TMessage& message) {
  if (message.message != kTimerMessage) return;
  owner_.Check("TTimer tick");
  try {
    if (on_timer_) on_timer_(this);
  } catch (...) {
    HandleApplicationException(this);
  }
}

}  // namespace event_loop
