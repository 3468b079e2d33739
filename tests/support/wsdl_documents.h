#pragma once
// WSDL documents shaped like the central server's, with the parts a test
// wants changed.
#include <map>
#include <string>

namespace testing_support {

inline const char kWsdlTemplate[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<definitions xmlns=\"http://schemas.xmlsoap.org/wsdl/\" xmlns:soap=\"http://schemas.xmlsoap.org/wsdl/soap/\""
    " xmlns:soap12=\"http://schemas.xmlsoap.org/wsdl/soap12/\" xmlns:http=\"http://schemas.xmlsoap.org/wsdl/http/\""
    " xmlns:tns=\"http://tempuri.org/\" ${ROOT_NS} targetNamespace=\"http://tempuri.org/\" name=\"IcoKelvoservice\">"
    "${IMPORTS}"
    "<binding name=\"${BINDING}\" type=\"tns:IcoKelvo\">"
    "<soap:binding style=\"rpc\" transport=\"http://schemas.xmlsoap.org/soap/http\"/>"
    "<operation name=\"TestaConexao\"><soap:operation ${ACTION_T} style=\"rpc\"/>"
    "<input><soap:body use=\"encoded\" namespace=\"${BODY_NS}\"/></input>"
    "<output><soap:body use=\"encoded\" namespace=\"urn:coKelvoIntf-IcoKelvo\"/></output></operation>"
    "<operation name=\"BuscaSolic\"><soap:operation soapAction=\"urn:coKelvoIntf-IcoKelvo#BuscaSolic\" style=\"rpc\"/>"
    "<input><soap:body use=\"encoded\" namespace=\"urn:coKelvoIntf-IcoKelvo\"/></input></operation>"
    "</binding>"
    "<binding name=\"IcoKelvoGet\" type=\"tns:IcoKelvo\"><http:binding verb=\"GET\"/></binding>"
    "<service name=\"IcoKelvoservice\">"
    "<port name=\"IcoKelvoPort\" binding=\"${PORT_BINDING}\">${ADDRESS}</port>"
    "<port name=\"IcoKelvoHttpGet\" binding=\"tns:IcoKelvoGet\"><http:address location=\"http://x/\"/></port>"
    "</service>${MORE_SERVICES}"
    "</definitions>";

// `endpoint` goes into the SOAP 1.1 address; `changes` replace the defaults.
inline std::string Wsdl(const std::string& endpoint, std::map<std::string, std::string> changes = {}) {
  std::map<std::string, std::string> parts = {
      {"ROOT_NS", ""},
      {"IMPORTS", ""},
      {"BINDING", "IcoKelvobinding"},
      {"ACTION_T", "soapAction=\"urn:coKelvoIntf-IcoKelvo#TestaConexao\""},
      {"BODY_NS", "urn:coKelvoIntf-IcoKelvo"},
      {"PORT_BINDING", "tns:IcoKelvobinding"},
      {"ADDRESS", "<soap:address location=\"" + endpoint + "\"/>"},
      {"MORE_SERVICES", ""},
  };
  for (auto& [key, value] : changes) parts[key] = value;
  std::string text = kWsdlTemplate;
  for (auto& [key, value] : parts) {
    const std::string token = "${" + key + "}";
    for (size_t at; (at = text.find(token)) != std::string::npos;) text.replace(at, token.size(), value);
  }
  return text;
}

}  // namespace testing_support
