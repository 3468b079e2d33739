#pragma once
// The answer the central web service gives to one call of its contract.
#include <string>

namespace testing_support {

// A SOAP 1.1 response to operation `op` whose return element holds `value`
// as written (markup and all).
inline std::string ResponseEnvelope(const std::string& op, const std::string& value) {
  return "<?xml version=\"1.0\"?><SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\">"
         "<SOAP-ENV:Body><NS1:" + op + "Response xmlns:NS1=\"urn:coKelvoIntf-IcoKelvo\"><return>" + value +
         "</return></NS1:" + op + "Response></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

}  // namespace testing_support
