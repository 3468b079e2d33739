#pragma once
// The thread that runs a service: its start, its request loop and the
// control requests and timer ticks that reach it through its queue.
// Threads: every member runs on the service thread itself, except Parked(),
// which any thread may read. Other threads reach it only by posting to its
// queue (TService::PostControlRequest). Debug builds abort on a member
// called from another thread once the thread runs.
#include "base/thread.h"
#include "core/thread_checker.h"

namespace service {

class TService;

class TServiceThread : public base::TThread {
 public:
  explicit TServiceThread(TService* service) : TThread(true), FService(service) {}
  ~TServiceThread() override { TerminateAndWait(); }

  // Handles the thread's messages: waiting for each until terminated or a
  // quit message when WaitForMessage, else only those already waiting.
  void ProcessRequests(bool WaitForMessage);
  // True while a pause holds the thread on its queue.
  bool Parked() const { return parked_; }

 protected:
  void Execute() override;

 private:
  friend class TService;
  void HandleControlRequest(uint32_t code);
  // Waits until the next control request has been posted.
  void Park();

  TService* FService;
  std::atomic<bool> parked_{false};
  core::ThreadChecker owner_;
};

}  // namespace service
