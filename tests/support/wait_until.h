#pragma once
// Waits in real time for what another thread or process does, never longer
// than `limit`: a bounded wait, so a fault fails the test instead of
// hanging it. Timer ticks need no waiting: the mock clock runs them.
#include <chrono>
#include <thread>

namespace testing_support {

// `step` spaces out looks that cost something (a query of another process).
template <class Predicate>
bool WaitUntil(Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(10),
               std::chrono::milliseconds step = std::chrono::milliseconds(1)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return done();
    std::this_thread::sleep_for(step);
  }
  return true;
}

}  // namespace testing_support
