#pragma once
// The one way every stand-in fails on purpose: "fail the n-th call of this
// operation with this code, once or from then on". Each stand-in asks its
// plan at every call of an operation; tests write the plan.
// Threads: any thread may plan or ask; the plan has its own lock.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/status.h"

namespace platform {

class FaultPlan {
 public:
  enum class Repeat { Once, FromThenOn };

  // Calls are counted from 1 per operation, from the plan's creation.
  void Fail(const std::string& operation, uint64_t nth_call, uint32_t code, Repeat repeat = Repeat::Once) {
    std::lock_guard lock(mutex_);
    planned_[operation].push_back({nth_call, code, repeat});
  }

  // The next call of the operation fails.
  void FailNext(const std::string& operation, uint32_t code, Repeat repeat = Repeat::Once) {
    std::lock_guard lock(mutex_);
    planned_[operation].push_back({calls_[operation] + 1, code, repeat});
  }

  // Counts one call of the operation; the failure planned for it, or Ok.
  // The latest plan that covers the call wins.
  core::Status Next(const std::string& operation) {
    std::lock_guard lock(mutex_);
    const uint64_t call = ++calls_[operation];
    auto it = planned_.find(operation);
    if (it == planned_.end()) return core::Status::Ok();
    for (auto p = it->second.rbegin(); p != it->second.rend(); ++p) {
      const bool covers = p->repeat == Repeat::Once ? call == p->nth_call : call >= p->nth_call;
      if (covers) return core::Status::SystemError(p->code);
    }
    return core::Status::Ok();
  }

 private:
  struct Planned {
    uint64_t nth_call;
    uint32_t code;
    Repeat repeat;
  };
  std::mutex mutex_;
  std::map<std::string, uint64_t> calls_;
  std::map<std::string, std::vector<Planned>> planned_;
};

}  // namespace platform
