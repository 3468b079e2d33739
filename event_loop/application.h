#pragma once
// The application object: the main thread's message loop and the common
// handling of exceptions that escape window procedures (timer ticks).
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/component.h"
#include "event_loop/message_queue.h"

namespace event_loop {

using core::TComponent;

using TExceptionEvent = std::function<void(TComponent* Sender, const std::exception& E)>;
// Answers true when it has handled the message.
using TWindowHook = std::function<bool(const TMessage& message)>;

class TApplication : public TComponent {
 public:
  // Becomes the process's application object, with its hidden window on
  // the calling thread, which is taken as the main thread.
  TApplication();
  ~TApplication() override;
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // One message of the main thread, or the idle step when none is waiting.
  void HandleMessage();
  bool Terminated() const { return terminated_; }
  // Ends the loop at the next quit message (it posts one).
  void Terminate();

  // Inside a catch block: the handling of the exception being caught.
  void HandleException(TComponent* Sender);

  TExceptionEvent OnException;
  bool ShowMainForm = true;

  WindowHandle Handle() const { return window_; }
  uint32_t MainThreadId() const { return main_thread_; }
  void HookMainWindow(TWindowHook hook);

  // By default the executable's file name up to its first full stop, with
  // every letter after the first in lower case.
  std::wstring Title() const;
  void SetTitle(std::wstring title) { title_ = std::move(title); }

  // Runs `call` on the main thread in its idle step or on kNullMessage.
  void QueueOnMainThread(std::function<void()> call);

 private:
  void WindowProcedure(const TMessage& message);
  bool RunQueuedCalls();
  void Idle();

  WindowHandle window_ = 0;
  uint32_t main_thread_ = 0;
  bool terminated_ = false;
  std::wstring title_;
  std::vector<TWindowHook> hooks_;
  std::mutex queued_mutex_;
  std::vector<std::function<void()>> queued_;
};

// The process's application object, or null before one is created.
TApplication* Application();

// What a window procedure does with an exception it caught: hands it to
// the application object.
void HandleApplicationException(TComponent* Sender);

// "Exception %s in module %s at %p.\r\n%s%s\r\n", with the full stop when the
// message does not already end in one.
std::wstring UnhandledExceptionText(const std::wstring& class_name, const std::wstring& module,
                                    uintptr_t address, const std::wstring& message);

}  // namespace event_loop
