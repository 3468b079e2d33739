#pragma once
// A periodic tick delivered inside the message loop of the thread that
// armed it, never overlapping that thread's other work.
// Threads: a timer has no lock. Arm, disarm and assign it on one thread at
// a time; the thread that arms a timer without a window becomes its thread,
// and its handler runs there only. Debug builds abort when it is re-armed
// or ticks on another thread; disarming may come from any thread.
#include <cstdint>
#include <functional>

#include "core/thread_checker.h"

#include "core/component.h"
#include "event_loop/message_queue.h"

namespace event_loop {

using core::TComponent;

using TNotifyEvent = std::function<void(TComponent* Sender)>;

class TTimer : public TComponent {
 public:
  TTimer() = default;
  ~TTimer() override;
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  uint32_t Interval() const { return interval_; }
  bool Enabled() const { return enabled_; }
  const TNotifyEvent& OnTimer() const { return on_timer_; }

  // Raise EOutOfResources when no platform timer can be had.
  void SetInterval(uint32_t milliseconds);
  void SetEnabled(bool enabled);
  void SetOnTimer(TNotifyEvent handler);

  // True while a notification window exists for it.
  bool Armed() const { return window_ != 0; }

 private:
  void UpdateTimer();
  void ForgetWindow();
  void WindowProcedure(const TMessage& message);

  uint32_t interval_ = 1000;
  bool enabled_ = true;
  TNotifyEvent on_timer_;
  WindowHandle window_ = 0;
  core::ThreadChecker owner_;
};

}  // namespace event_loop
