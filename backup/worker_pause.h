#pragma once
#include <cstdint>

namespace backup {

// How long each worker waits after its launch before it ends. The launch
// blocks the service thread for the worker's life, so this spaces launches
// apart: a scheduled run and a requested one never start together.
inline constexpr uint32_t kWorkerPauseMs = 10'000;

}  // namespace backup
