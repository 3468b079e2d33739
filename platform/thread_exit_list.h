#pragma once
// The cleanups registered on one thread, for the backends' thread-exit slot.
#include <utility>
#include <vector>

namespace platform {

class ThreadExitList {
 public:
  void add(void (*cleanup)(void*), void* value) { entries_.emplace_back(cleanup, value); }

  // Runs every cleanup in order of registration, then frees the list.
  static void RunAndDelete(void* list) {
    auto* own = static_cast<ThreadExitList*>(list);
    if (!own) return;
    for (auto& [cleanup, value] : own->entries_) cleanup(value);
    delete own;
  }

 private:
  std::vector<std::pair<void (*)(void*), void*>> entries_;
};

}  // namespace platform
