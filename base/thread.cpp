#include "base/thread.h"

#include "platform/host.h"

namespace base {

TThread::TThread(bool createSuspended) : create_suspended_(createSuspended) {
  handle_ = platform::host().threads->create_suspended([this] { Run(); });
}

TThread::~TThread() { TerminateAndWait(); }

void TThread::TerminateAndWait() {
  if (finished_) return;
  Terminate();
  if (suspended_) {
    while (handle_->resume() > 1) {
    }
    suspended_ = false;
  }
  WaitFor();
}

void TThread::Run() {
  if (!terminated_) {
    try {
      Execute();
    } catch (...) {
      fatal_ = std::current_exception();
    }
  }
  finished_ = true;
}

void TThread::Start() {
  if (started_) return;
  started_ = true;
  Resume();
}

void TThread::Suspend() {
  const bool was = suspended_.exchange(true);
  try {
    handle_->suspend();
  } catch (...) {
    suspended_ = was;
    throw;
  }
}

void TThread::Resume() {
  started_ = true;
  // The flag clears only when the count drops from 1 to 0.
  if (handle_->resume() == 1) suspended_ = false;
}

void TThread::SetPriority(TThreadPriority priority) {
  static constexpr platform::ThreadPriority kMap[] = {
      platform::ThreadPriority::Idle,   platform::ThreadPriority::Lowest,
      platform::ThreadPriority::BelowNormal, platform::ThreadPriority::Normal,
      platform::ThreadPriority::AboveNormal, platform::ThreadPriority::Highest};
  handle_->set_priority(kMap[static_cast<int>(priority)]);
  priority_ = priority;
}

void TThread::WaitFor() { handle_->wait(); }

void TThread::NameThreadForDebugging(const char* name) {
  platform::host().threads->name_current_thread(name);
}

}  // namespace base
