#pragma once
// Events in the order a test's threads recorded them.
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace testing_support {

class Journal {
 public:
  void Add(std::string event) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
  }
  std::vector<std::string> Events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  size_t Count(const std::string& event) const {
    std::lock_guard lock(mutex_);
    return std::count(events_.begin(), events_.end(), event);
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
};

}  // namespace testing_support
