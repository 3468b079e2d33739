// platform/threads.h on std::thread with a suspension count.
// Threads with a suspension count. Linux cannot stop another thread where it
// stands, so a suspension takes effect when the thread reaches a point that
// honours it (its start, and every sleep); the count itself is exact.
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/posix/backend.h"
#include "platform/posix/base_services.h"
#include "platform/thread_exit_list.h"

namespace platform::posix {
namespace {

struct ThreadState {
  std::mutex mutex;
  std::condition_variable changed;
  uint32_t suspend_count = 1;
  bool done = false;
  uint32_t id = 0;
  std::function<void()> body;
};

thread_local std::shared_ptr<ThreadState> current_state;

void WaitUntilResumed(ThreadState& state) {
  std::unique_lock lock(state.mutex);
  state.changed.wait(lock, [&] { return state.suspend_count == 0; });
}

class PosixThreadHandle : public ThreadHandle {
 public:
  explicit PosixThreadHandle(std::function<void()> body) : state_(std::make_shared<ThreadState>()) {
    state_->body = std::move(body);
    std::shared_ptr<ThreadState> state = state_;
    thread_ = std::thread([state] {
      {
        std::lock_guard lock(state->mutex);
        state->id = static_cast<uint32_t>(syscall(SYS_gettid));
        state->changed.notify_all();
      }
      current_state = state;
      WaitUntilResumed(*state);
      state->body();
      std::lock_guard lock(state->mutex);
      state->done = true;
      state->changed.notify_all();
    });
    // The id is known once the thread exists, as with the platform call.
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [&] { return state_->id != 0; });
  }

  ~PosixThreadHandle() override {
    bool done;
    {
      std::lock_guard lock(state_->mutex);
      done = state_->done;
    }
    if (done) thread_.join();
    else thread_.detach();
  }

  core::Result<uint32_t> resume() override {
    std::lock_guard lock(state_->mutex);
    uint32_t previous = state_->suspend_count;
    if (previous > 0) --state_->suspend_count;
    state_->changed.notify_all();
    return previous;
  }

  core::Result<uint32_t> suspend() override {
    std::lock_guard lock(state_->mutex);
    return state_->suspend_count++;
  }

  // Unprivileged Linux threads share one scheduling class; nothing to set.
  core::Status set_priority(ThreadPriority) override { return core::Status::Ok(); }

  void wait() override {
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [&] { return state_->done; });
  }

  uint32_t id() const override { return state_->id; }

 private:
  std::shared_ptr<ThreadState> state_;
  std::thread thread_;
};

}  // namespace

void honour_suspension() {
  if (current_state) WaitUntilResumed(*current_state);
}

core::Result<std::unique_ptr<ThreadHandle>> PosixThreads::create_suspended(std::function<void()> body) {
  try {
    return std::unique_ptr<ThreadHandle>(std::make_unique<PosixThreadHandle>(std::move(body)));
  } catch (const std::system_error&) {
    return core::Status::SystemError(kNotEnoughMemory);
  }
}

uint32_t PosixThreads::current_thread_id() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

namespace {

pthread_key_t ExitKey() {
  static pthread_key_t key = [] {
    pthread_key_t k;
    pthread_key_create(&k, ThreadExitList::RunAndDelete);
    return k;
  }();
  return key;
}

}  // namespace

void PosixThreads::at_current_thread_exit(void (*cleanup)(void*), void* value) {
  auto* list = static_cast<ThreadExitList*>(pthread_getspecific(ExitKey()));
  if (!list) pthread_setspecific(ExitKey(), list = new ThreadExitList);
  list->add(cleanup, value);
}

void PosixThreads::name_current_thread(const char* name) {
  char shortened[16] = {};
  for (int i = 0; i < 15 && name[i]; ++i) shortened[i] = name[i];
  pthread_setname_np(pthread_self(), shortened);
}

}  // namespace platform::posix
