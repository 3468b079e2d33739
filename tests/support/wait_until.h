#pragma once
// Waits in real time for what another thread or process does, never longer
// than `limit`: a bounded wait, so a fault fails the test instead of
// hanging it. Timer ticks need no waiting: the mock clock runs them.
#include <chrono>
#include <thread>

namespace testing_support {

template <class Predicate>
bool WaitUntil(Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace testing_support
