#include "event_loop/message_queue.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "platform/clock.h"
#include "platform/host.h"
#include "platform/threads.h"

namespace event_loop {

namespace {

// "Now" comes from the seam's monotonic clock, so tests can move it.
uint64_t NowMs() { return platform::host().clock->monotonic_ms(); }

// Counts every post and every message handed out, so a look across all
// queues can tell whether anything moved while it looked.
std::atomic<uint64_t> activity{0};

}  // namespace

class MessageQueue {
 public:
  struct Timer {
    WindowHandle window;
    uint32_t id;
    uint64_t interval_ms;
    uint64_t due_ms;
  };

  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<TMessage> posted;
  std::map<WindowHandle, std::shared_ptr<WindowProc>> windows;
  std::vector<Timer> timers;
  bool closed = false;
  // For a clock that jumps: the thread took a message and has not come
  // back to its queue since, so it may still be handling it.
  bool handling = false;
  // While parked, what ends the wait.
  const std::function<bool(const TMessage&)>* parked = nullptr;

  bool Post(const TMessage& message) {
    {
      std::lock_guard lock(mutex);
      if (closed) return false;
      posted.push_back(message);
      ++activity;
    }
    arrived.notify_all();
    return true;
  }

  // Posted messages first; a tick only when none is waiting. Without `out`
  // nothing is taken: it only tells (or waits until) something is there.
  bool Next(TMessage* out, bool wait) {
    std::unique_lock lock(mutex);
    handling = false;
    for (;;) {
      if (!posted.empty()) {
        if (out) {
          *out = posted.front();
          posted.pop_front();
          HandOut(*out);
        }
        return true;
      }
      Timer* next = Earliest();
      const uint64_t now = next ? NowMs() : 0;
      if (next && next->due_ms <= now) {
        if (out) {
          *out = TMessage{next->window, kTimerMessage, next->id, 0};
          // Missed periods do not pile up: the next period starts now.
          next->due_ms = now + next->interval_ms;
          HandOut(*out);
        }
        return true;
      }
      if (!wait) return false;
      // The wait is a span computed now, not a reference into the timer
      // list, which another thread may reallocate meanwhile. A clock that
      // jumps wakes us through WakeAllQueues.
      if (next) arrived.wait_for(lock, std::chrono::milliseconds(next->due_ms - now));
      else arrived.wait(lock);
    }
  }

  void Park(const std::function<bool(const TMessage&)>& wakes) {
    std::unique_lock lock(mutex);
    handling = false;
    parked = &wakes;
    arrived.wait(lock, [&] { return std::any_of(posted.begin(), posted.end(), wakes); });
    parked = nullptr;
  }

  // Callers hold the mutex. Nothing left to take or handle at `now`; a
  // parked thread looks at nothing but what ends its wait.
  bool AtRest(uint64_t now) {
    if (closed) return true;
    if (parked) return std::none_of(posted.begin(), posted.end(), *parked);
    const Timer* next = Earliest();
    return !handling && posted.empty() && !(next && next->due_ms <= now);
  }

  // Callers hold the mutex. The deadline this queue will act on; a parked
  // thread's ticks wait for its wake-up.
  uint64_t NextDue() {
    const Timer* next = parked || closed ? nullptr : Earliest();
    return next ? next->due_ms : UINT64_MAX;
  }

  // Callers hold the mutex.
  void HandOut(const TMessage& message) {
    ++activity;
    // A thread that took its quit message may go on elsewhere for good.
    if (message.message != kQuitMessage) handling = true;
  }

  // Callers hold the mutex.
  size_t DropTimer(WindowHandle window, uint32_t id) {
    return std::erase_if(timers, [&](const Timer& t) { return t.window == window && t.id == id; });
  }

 private:
  Timer* Earliest() {
    Timer* next = nullptr;
    for (auto& t : timers)
      if (!next || t.due_ms < next->due_ms) next = &t;
    return next;
  }
};

namespace {

// Which queue a thread id or a window handle belongs to.
struct Directory {
  std::mutex mutex;
  std::map<uint32_t, std::shared_ptr<MessageQueue>> by_thread;
  std::map<WindowHandle, std::weak_ptr<MessageQueue>> by_window;
  std::atomic<WindowHandle> next_window{1};
};

Directory& directory() {
  static Directory* instance = new Directory;  // outlives every thread's queue
  return *instance;
}

void CloseQueue(uint32_t thread_id, const std::shared_ptr<MessageQueue>& queue) {
  std::vector<WindowHandle> gone;
  {
    std::lock_guard lock(queue->mutex);
    queue->closed = true;
    for (auto& [handle, proc] : queue->windows) gone.push_back(handle);
    queue->windows.clear();
    queue->timers.clear();
    queue->posted.clear();
  }
  Directory& d = directory();
  std::lock_guard lock(d.mutex);
  d.by_thread.erase(thread_id);
  for (WindowHandle h : gone) d.by_window.erase(h);
}

// The windows and timers of a thread go away when the thread ends.
struct ThreadQueue {
  uint32_t thread_id = 0;
  std::shared_ptr<MessageQueue> queue;
};

void CloseThreadQueue(void* holder) {
  auto* own = static_cast<ThreadQueue*>(holder);
  CloseQueue(own->thread_id, own->queue);
  delete own;
}

// A plain pointer: the queue is closed through the platform's thread-exit
// callback, not by a thread_local destructor.
thread_local ThreadQueue* current = nullptr;

MessageQueue& Current() {
  if (!current) {
    auto* own = new ThreadQueue{CurrentThreadId(), std::make_shared<MessageQueue>()};
    {
      Directory& d = directory();
      std::lock_guard lock(d.mutex);
      d.by_thread[own->thread_id] = own->queue;
    }
    current = own;
    platform::host().threads->at_current_thread_exit(CloseThreadQueue, own);
  }
  return *current->queue;
}

std::shared_ptr<MessageQueue> QueueOfThread(uint32_t thread_id) {
  Directory& d = directory();
  std::lock_guard lock(d.mutex);
  auto it = d.by_thread.find(thread_id);
  return it == d.by_thread.end() ? nullptr : it->second;
}

std::shared_ptr<MessageQueue> QueueOfWindow(WindowHandle window) {
  Directory& d = directory();
  std::lock_guard lock(d.mutex);
  auto it = d.by_window.find(window);
  return it == d.by_window.end() ? nullptr : it->second.lock();
}

}  // namespace

uint32_t CurrentThreadId() { return platform::host().threads->current_thread_id(); }

void EnsureMessageQueue() { Current(); }

bool PostToThread(uint32_t thread_id, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  auto queue = QueueOfThread(thread_id);
  return queue && queue->Post(TMessage{0, message, wparam, lparam});
}

bool PostToWindow(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  auto queue = QueueOfWindow(window);
  return queue && queue->Post(TMessage{window, message, wparam, lparam});
}

void PostQuitMessage() { Current().Post(TMessage{0, kQuitMessage, 0, 0}); }

bool TakeMessage(TMessage& message) {
  Current().Next(&message, true);
  return message.message != kQuitMessage;
}

bool TryTakeMessage(TMessage& message) { return Current().Next(&message, false); }

void WaitMessage() { Current().Next(nullptr, true); }

void ParkUntil(const std::function<bool(const TMessage&)>& wakes) { Current().Park(wakes); }

void DispatchToWindow(const TMessage& message) {
  if (message.window == 0) return;
  auto queue = QueueOfWindow(message.window);
  if (!queue) return;
  std::shared_ptr<WindowProc> procedure;
  {
    std::lock_guard lock(queue->mutex);
    auto it = queue->windows.find(message.window);
    if (it == queue->windows.end()) return;
    procedure = it->second;
  }
  (*procedure)(message);
}

WindowHandle CreateMessageWindow(WindowProc procedure) {
  MessageQueue& queue = Current();
  Directory& d = directory();
  const WindowHandle handle = d.next_window++;
  {
    std::lock_guard lock(queue.mutex);
    queue.windows[handle] = std::make_shared<WindowProc>(std::move(procedure));
  }
  std::lock_guard lock(d.mutex);
  d.by_window[handle] = current->queue;
  return handle;
}

// Unlike the platform's windows, ours can be destroyed from any thread:
// a window left behind on another thread would keep a procedure bound to
// an object that may be freed long before that thread ends.
bool DestroyMessageWindow(WindowHandle window) {
  auto queue = QueueOfWindow(window);
  if (!queue) return false;
  {
    std::lock_guard lock(queue->mutex);
    queue->windows.erase(window);
    std::erase_if(queue->timers, [&](const MessageQueue::Timer& t) { return t.window == window; });
  }
  Directory& d = directory();
  std::lock_guard lock(d.mutex);
  d.by_window.erase(window);
  return true;
}

bool IsWindow(WindowHandle window) { return QueueOfWindow(window) != nullptr; }

bool SetTimer(WindowHandle window, uint32_t id, uint32_t interval_ms) {
  auto queue = QueueOfWindow(window);
  if (!queue) return false;
  const uint64_t interval = std::max<uint32_t>(interval_ms, 1);
  {
    std::lock_guard lock(queue->mutex);
    if (!queue->windows.count(window)) return false;
    queue->DropTimer(window, id);
    queue->timers.push_back({window, id, interval, NowMs() + interval});
  }
  queue->arrived.notify_all();  // a waiting thread must see the new deadline
  return true;
}

void WakeAllQueues() {
  std::vector<std::shared_ptr<MessageQueue>> queues;
  {
    Directory& d = directory();
    std::lock_guard lock(d.mutex);
    for (auto& [thread, queue] : d.by_thread) queues.push_back(queue);
  }
  for (auto& queue : queues) {
    // Taking the lock orders the wake-up after a waiter's look at the clock.
    { std::lock_guard lock(queue->mutex); }
    queue->arrived.notify_all();
  }
}

QueuesAtRest LookAtQueues() {
  std::vector<std::shared_ptr<MessageQueue>> queues;
  std::shared_ptr<MessageQueue> own = current ? current->queue : nullptr;
  {
    Directory& d = directory();
    std::lock_guard lock(d.mutex);
    for (auto& [thread, queue] : d.by_thread) queues.push_back(queue);
  }
  const uint64_t before = activity;
  const uint64_t now = NowMs();
  QueuesAtRest rest;
  for (auto& queue : queues) {
    std::lock_guard lock(queue->mutex);
    rest.next_due_ms = std::min(rest.next_due_ms, queue->NextDue());
    if (queue == own) rest.own_waiting = !queue->posted.empty() || queue->NextDue() <= now;
    else if (!queue->AtRest(now)) rest.others_at_rest = false;
  }
  // Something posted or taken meanwhile may have escaped the look.
  if (activity != before) rest.others_at_rest = false;
  return rest;
}

bool KillTimer(WindowHandle window, uint32_t id) {
  auto queue = QueueOfWindow(window);
  if (!queue) return false;
  std::lock_guard lock(queue->mutex);
  return queue->DropTimer(window, id) > 0;
}

}  // namespace event_loop
