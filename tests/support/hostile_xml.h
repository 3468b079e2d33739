#pragma once
// Entity-expansion attacks, shared by the refusal tests and the benchmark.
#include <string>

namespace testing_support {

inline std::string BillionLaughs() {
  std::string xml = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
  for (int i = 1; i <= 9; ++i) {
    xml += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) xml += i == 1 ? "&lol;" : "&lol" + std::to_string(i - 1) + ";";
    xml += "\">";
  }
  return xml + "]><lolz>&lol9;</lolz>";
}

inline std::string QuadraticBlowup() {
  std::string xml = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"" + std::string(50000, 'a') + "\">]><r>";
  for (int i = 0; i < 20000; ++i) xml += "&a;";
  return xml + "</r>";
}

}  // namespace testing_support
