#include <fstream>
#include <string>

#include "thread_count.h"

namespace testing_support {

int ThreadCount() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  return -1;
}

}  // namespace testing_support
