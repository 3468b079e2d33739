#pragma once
// Drives the calling thread's queue for a while, as a message loop would.
#include <chrono>
#include <thread>

#include "event_loop/message_queue.h"

namespace event_loop_test {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// Pumps until `done` holds or the time is up; returns `done()`.
template <class Predicate>
bool PumpUntil(Predicate done, std::chrono::milliseconds limit = 5000ms) {
  const auto end = SteadyClock::now() + limit;
  while (!done() && SteadyClock::now() < end) {
    event_loop::TMessage m;
    if (event_loop::TryTakeMessage(m)) event_loop::DispatchToWindow(m);
    else std::this_thread::sleep_for(1ms);
  }
  return done();
}

inline void PumpFor(std::chrono::milliseconds span) {
  PumpUntil([] { return false; }, span);
}

}  // namespace event_loop_test
