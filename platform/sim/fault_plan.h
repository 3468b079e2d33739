#pragma once
// The one way every stand-in fails on purpose: "fail the n-th call of this
// operation with this code, once or from then on". Each stand-in declares the
// operations it can fail and asks its plan at every call of one; tests write
// the plan. A name nobody declared is refused, so a misspelt plan cannot
// quietly fail nothing.
// Threads: any thread may plan or ask; the plan has its own lock.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/status.h"

namespace platform {

class FaultPlan {
 public:
  enum class Repeat { Once, FromThenOn };

  explicit FaultPlan(std::initializer_list<std::string> operations) : operations_(operations) {}

  // What the stand-in declared it can fail.
  const std::set<std::string>& operations() const { return operations_; }

  // Calls are counted from 1 per operation, from the plan's creation.
  // Throws std::invalid_argument for an operation the stand-in did not declare.
  void Fail(const std::string& operation, uint64_t nth_call, uint32_t code, Repeat repeat = Repeat::Once) {
    RefuseUndeclared(operation);
    std::lock_guard lock(mutex_);
    planned_[operation].push_back({nth_call, code, repeat});
  }

  // The next call of the operation fails.
  void FailNext(const std::string& operation, uint32_t code, Repeat repeat = Repeat::Once) {
    RefuseUndeclared(operation);
    std::lock_guard lock(mutex_);
    planned_[operation].push_back({calls_[operation] + 1, code, repeat});
  }

  // Counts one call of the operation; the failure planned for it, or Ok.
  // The latest plan that covers the call wins. A stand-in asking about an
  // operation it did not declare is a broken stand-in: that aborts, as an
  // exception here could be swallowed by the code under test.
  core::Status Next(const std::string& operation) {
    if (!operations_.count(operation)) {
      std::fprintf(stderr, "FaultPlan: a stand-in asked about \"%s\", which it never declared\n", operation.c_str());
      std::fflush(stderr);
      std::abort();
    }
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

  void RefuseUndeclared(const std::string& operation) const {
    if (operations_.count(operation)) return;
    std::string declared;
    for (const std::string& name : operations_) declared += (declared.empty() ? "" : ", ") + name;
    throw std::invalid_argument("no operation \"" + operation + "\" can fail here; declared: " + declared);
  }

  const std::set<std::string> operations_;
  std::mutex mutex_;
  std::map<std::string, uint64_t> calls_;
  std::map<std::string, std::vector<Planned>> planned_;
};

}  // namespace platform
