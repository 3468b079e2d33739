#pragma once
#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>

#include "platform/threads.h"

namespace base {

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest };

// A platform thread with the suspension-count behaviour of the platform:
// the OS thread is always created suspended; a thread not created suspended
// is started by Start() from the derived class or by the factory below.
// The owner frees it, never the thread itself.
class TThread {
 public:
  explicit TThread(bool createSuspended);
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts a thread created suspended (its first resume).
  void Start();
  void Suspend();
  void Resume();
  bool Suspended() const { return suspended_; }
  bool Finished() const { return finished_; }

  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }

  void SetPriority(TThreadPriority priority);
  TThreadPriority Priority() const { return priority_; }

  // Blocks until the thread has ended.
  void WaitFor();
  // Marks the thread terminated, lets a suspended one go and waits for it;
  // a thread that never ran ends without running its body. Destructors of
  // derived classes call it so the body never outlives its object.
  void TerminateAndWait();
  uint32_t ThreadID() const { return handle_->id(); }
  bool CreateSuspended() const { return create_suspended_; }

  // The exception that escaped Execute, if any (swallowed by the thread).
  std::exception_ptr FatalException() const { return fatal_; }

  // Creates a thread object and starts it unless it asked to be suspended.
  template <class T, class... Args>
  static std::unique_ptr<T> Create(Args&&... args) {
    auto thread = std::make_unique<T>(std::forward<Args>(args)...);
    if (!thread->CreateSuspended()) thread->Start();
    return thread;
  }

 protected:
  virtual void Execute() = 0;
  static void NameThreadForDebugging(const char* name);

 private:
  void Run();

  std::unique_ptr<platform::ThreadHandle> handle_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> suspended_{true};
  std::atomic<bool> finished_{false};
  bool started_ = false;
  bool create_suspended_;
  TThreadPriority priority_ = TThreadPriority::tpNormal;
  std::exception_ptr fatal_;
};

}  // namespace base
