#pragma once
// Checks a written threading contract ("only its owning thread touches
// this") in debug builds: a call from another thread aborts with a message
// naming what was touched. Release builds compile it to nothing.
#ifdef NDEBUG

namespace core {

class ThreadChecker {
 public:
  void Claim() {}
  void Release() {}
  void Check(const char*) const {}
};

}  // namespace core

#else

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace core {

class ThreadChecker {
 public:
  // The calling thread becomes the owner.
  void Claim() { owner_.store(std::this_thread::get_id()); }
  // No owner: any thread may touch until the next claim.
  void Release() { owner_.store(std::thread::id{}); }

  void Check(const char* what) const {
    const std::thread::id owner = owner_.load();
    if (owner == std::thread::id{} || owner == std::this_thread::get_id()) return;
    std::fprintf(stderr, "Threading contract broken: %s touched off its owning thread\n", what);
    std::fflush(stderr);
    std::abort();
  }

 private:
  std::atomic<std::thread::id> owner_{};
};

}  // namespace core

#endif
