#include "base/thread.h"

#include "base/os_errors.h"
#include "platform/host.h"

namespace base {

TThread::TThread(bool createSuspended) : create_suspended_(createSuspended) {
  auto created = platform::host().threads->create_suspended([this] { Run(); });
  RaiseOnFailure(created.status());
  handle_ = std::move(created.value());
}

TThread::~TThread() { TerminateAndWait(); }

void TThread::TerminateAndWait() {
  if (finished_) return;
  Terminate();
  if (suspended_) {
    for (;;) {
      const auto previous = handle_->resume();
      if (!previous.ok() || previous.value() <= 1) break;
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
  const auto previous = handle_->suspend();
  if (!previous.ok()) {
    suspended_ = was;
    RaiseOnFailure(previous.status());
  }
}

void TThread::Resume() {
  started_ = true;
  // The flag clears only when the count drops from 1 to 0.
  const auto previous = handle_->resume();
  RaiseOnFailure(previous.status());
  if (previous.value() == 1) suspended_ = false;
}

void TThread::SetPriority(TThreadPriority priority) {
  static constexpr platform::ThreadPriority kMap[] = {
      platform::ThreadPriority::Idle,   platform::ThreadPriority::Lowest,
      platform::ThreadPriority::BelowNormal, platform::ThreadPriority::Normal,
      platform::ThreadPriority::AboveNormal, platform::ThreadPriority::Highest};
  RaiseOnFailure(handle_->set_priority(kMap[static_cast<int>(priority)]));
  priority_ = priority;
}

void TThread::WaitFor() { handle_->wait(); }

void TThread::NameThreadForDebugging(const char* name) {
  platform::host().threads->name_current_thread(name);
}

}  // namespace base
