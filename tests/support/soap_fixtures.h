#pragma once
// Shared by the SOAP tests: fixture files, and a call sequence that runs
// the converter the way the dispatch will.
#include <filesystem>
#include <stdexcept>
#include <string>

#include "soap/IcoKelvo1.h"
#include "soap/converter.h"
#include "support/temp_dir.h"

namespace testing_support {

inline std::string FixturePath(const std::string& relative) {
#ifdef _WIN32
  return std::string("Z:") + TAV_SOAP_FIXTURES + "/" + relative;  // Wine maps / to Z:
#else
  return std::string(TAV_SOAP_FIXTURES) + "/" + relative;
#endif
}

inline std::string ReadFixture(const std::string& relative) {
  const std::filesystem::path path = FixturePath(relative);
  // An empty text would compare as a plain mismatch; say what is missing.
  if (!std::filesystem::is_regular_file(path)) throw std::runtime_error("missing fixture " + relative);
  return testing_support::ReadFile(path);
}

// Builds the request of each call, then answers it with `response`.
class ConverterSequence : public soap::TCallSequence {
 public:
  soap::TOPToSoapDomConvert converter;
  std::string request;
  std::string response;
  int method_number = -1;

  void Invoke(const soap::TIntfMetaData& intf, int number, soap::TInvContext& context) override {
    method_number = number;
    request = converter.InvContextToMsg(intf, number, context, {});
    if (!response.empty()) converter.ProcessResponse(response, intf, intf.MDA.at(number), context, nullptr);
  }
};

}  // namespace testing_support
