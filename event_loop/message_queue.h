#pragma once
// Per-thread message queues with windows and timers of our own: one FIFO of
// posted messages per thread, created when the thread first looks at it, and
// timer ticks that are made up when the thread looks for messages and no
// posted one is waiting (at most one pending tick per timer). The names keep
// clear of the platform's, which <windows.h> turns into macros.
// Threads: taking, waiting and creating windows act on the calling thread's
// own queue; posting, timers and destroying windows may come from any thread.
#include <cstdint>
#include <functional>
#include <memory>

namespace event_loop {

// Message numbers: the platform's values, under names of our own.
inline constexpr uint32_t kNullMessage = 0;          // wakes a thread; carries nothing
inline constexpr uint32_t kQuitMessage = 18;         // ends a thread's message loop
inline constexpr uint32_t kEndSessionMessage = 22;   // the user's logon ends
inline constexpr uint32_t kTimerMessage = 275;       // a timer's tick
inline constexpr uint32_t kFirstUserMessage = 1024;  // the first number free for a program's own use

// 0 stands for "no window" (a thread message).
using WindowHandle = uint64_t;

struct TMessage {
  WindowHandle window = 0;
  uint32_t message = 0;
  uintptr_t wparam = 0;
  intptr_t lparam = 0;
};

using WindowProc = std::function<void(const TMessage&)>;

class MessageQueue;

// Creates the calling thread's queue if it has none yet.
void EnsureMessageQueue();

// Posting never blocks; false when the thread or window has no queue.
bool PostToThread(uint32_t thread_id, uint32_t message, uintptr_t wparam, intptr_t lparam);
bool PostToWindow(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam);
void PostQuitMessage();

// Waits for the next message of the calling thread; false when it is kQuitMessage.
bool TakeMessage(TMessage& message);
// Takes a waiting message (posted, or a due tick) without waiting.
bool TryTakeMessage(TMessage& message);
// Blocks until a posted message is waiting or a timer of this thread is due.
void WaitMessage();
// Blocks until a posted message that `wakes` accepts is waiting. Ticks are
// not looked at meanwhile; nothing is taken from the queue.
void ParkUntil(const std::function<bool(const TMessage&)>& wakes);

// Calls the procedure of the message's window; thread messages and messages
// of windows that no longer exist have no effect.
void DispatchToWindow(const TMessage& message);

// A window belongs to the calling thread; it disappears with that thread.
WindowHandle CreateMessageWindow(WindowProc procedure);
// Destroys the window on whichever thread asks; false when it does not exist.
bool DestroyMessageWindow(WindowHandle window);
bool IsWindow(WindowHandle window);
// Starts (or restarts) timer `id` of the window; false when the window is gone.
bool SetTimer(WindowHandle window, uint32_t id, uint32_t interval_ms);
bool KillTimer(WindowHandle window, uint32_t id);

uint32_t CurrentThreadId();

// Every waiting thread looks at the clock again: for a clock that jumps
// (tests), after each jump.
void WakeAllQueues();

// For a clock that jumps (tests), which must know when the ticks it made
// due have run before it moves on.
struct QueuesAtRest {
  // Every other thread has taken what is due now and is back at its queue,
  // or busy elsewhere with nothing due; a parked one has nothing that wakes it.
  bool others_at_rest = true;
  // The calling thread's own queue holds a message or a due tick.
  bool own_waiting = false;
  // The earliest deadline any thread will act on; UINT64_MAX for none.
  uint64_t next_due_ms = UINT64_MAX;
};
QueuesAtRest LookAtQueues();

}  // namespace event_loop
