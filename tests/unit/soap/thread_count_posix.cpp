#include <fstream>
#include <string>

#include "thread_count.h"

namespace soap_test {

int ThreadCount() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  return -1;
}

}  // namespace soap_test
