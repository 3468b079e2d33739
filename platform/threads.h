#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "core/status.h"

namespace platform {

enum class ThreadPriority { Idle, Lowest, BelowNormal, Normal, AboveNormal, Highest };

// A thread created suspended (suspension count 1). resume() and suspend()
// give the previous suspension count, like the platform calls.
class ThreadHandle {
 public:
  virtual ~ThreadHandle() = default;
  virtual core::Result<uint32_t> resume() = 0;
  virtual core::Result<uint32_t> suspend() = 0;
  virtual core::Status set_priority(ThreadPriority priority) = 0;
  virtual void wait() = 0;
  virtual uint32_t id() const = 0;
};

class Threads {
 public:
  virtual ~Threads() = default;
  virtual core::Result<std::unique_ptr<ThreadHandle>> create_suspended(std::function<void()> body) = 0;
  virtual uint32_t current_thread_id() = 0;
  // Names the calling thread for debuggers; no effect without one.
  virtual void name_current_thread(const char* name) = 0;
  // Calls cleanup(value) when the calling thread ends. Use this instead of
  // thread_local objects with destructors: MinGW's thread library can wedge
  // the process exit after such destructors ran on threads it did not create.
  virtual void at_current_thread_exit(void (*cleanup)(void*), void* value) = 0;
};

}  // namespace platform
