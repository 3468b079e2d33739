#pragma once
// The WSDL document of a proxy, its loader and the proxy's selection in it
// (service, port, the operation being called).
#include <memory>
#include <string>
#include <vector>

#include "soap/http_transport.h"
#include "soap/wsdl_view.h"
#include "soap/xml_reader.h"
#include "soap/xml_tree.h"

namespace soap {

inline constexpr wchar_t kWSDLNamespace[] = L"http://schemas.xmlsoap.org/wsdl/";
inline constexpr wchar_t kWSDLSoap11Namespace[] = L"http://schemas.xmlsoap.org/wsdl/soap/";
inline constexpr wchar_t kWSDLSoap12Namespace[] = L"http://schemas.xmlsoap.org/wsdl/soap12/";
inline constexpr wchar_t kWSDLHttpNamespace[] = L"http://schemas.xmlsoap.org/wsdl/http/";

// Fetches documents by location: an http(s) URL by GET, anything else as a
// file name.
class TStreamLoader {
 public:
  TStreamLoader();
  std::wstring UserName, Password, Proxy;
  int Timeout = 0;  // milliseconds; 0 keeps the transport's own
  THTTPReqResp& Transport() { return transport_; }
  std::string Load(const std::wstring& location);

 private:
  THTTPReqResp transport_;
};

// The queries of a loaded document; a missing item gives an empty result.
// Imported documents are searched when the document itself has nothing;
// they are fetched once per load, at the first query that needs them.
class TWSDLItems {
 public:
  explicit TWSDLItems(TStreamLoader& loader) : loader_(loader) {}

  std::wstring Location;
  bool Active() const { return document_.root != nullptr; }
  void SetInactive();
  // Loads Location when not loaded; raises the load message on failure.
  void Load();
  // Takes an already fetched document (tests, fuzzing).
  void LoadFromBytes(std::string_view bytes);

  std::wstring GetBindingForServicePort(const std::wstring& service, const std::wstring& port);
  // soap_version: 1 (SOAP 1.1), 2 (SOAP 1.2) or 0 (1.2 then 1.1; set to the one found).
  std::wstring GetSoapAddressForServicePort(const std::wstring& service, const std::wstring& port,
                                            int& soap_version);
  std::wstring GetSoapAction(const std::wstring& binding, const std::wstring& operation, int& soap_version,
                             int overload_index);
  std::wstring GetSoapBodyAttribute(const std::wstring& binding, const std::wstring& operation, int& soap_version,
                                    int overload_index, const std::wstring& attribute, bool input);
  std::vector<std::wstring> GetServices();
  std::vector<std::wstring> GetPortsForService(const std::wstring& service);

 private:
  struct Document;
  class ImportTable;
  template <class Query>
  auto Search(Query query) -> decltype(query(std::declval<const Document&>()));

  const std::vector<XmlDocument>& Imports();

  TStreamLoader& loader_;
  XmlDocument document_;
  // What the document and its imports may hold together.
  XmlTreeBudget tree_budget_;
  bool imports_followed_ = false;
  std::vector<XmlDocument> imports_;
};

class TWSDLView : public TWSDLViewLink {
 public:
  TWSDLView();
  ~TWSDLView() override;

  std::wstring UserName, Password, Proxy;
  TWSDLItems* WSDL = nullptr;
  std::wstring Operation;
  const TIntfMetaData* IntfMD = nullptr;

  void SetService(const std::wstring& name) { service_ = name; }
  void SetPort(const std::wstring& name) { port_ = name; }
  // The set names, else the only service (and its only SOAP port) of the
  // loaded document, remembered.
  std::wstring GetService();
  std::wstring GetPort();
  const std::wstring& ServiceSetting() const { return service_; }
  const std::wstring& PortSetting() const { return port_; }
  // Loads the document when it is not loaded.
  void Activate();
  TStreamLoader& Loader() { return loader_; }

  // TWSDLViewLink
  void SetOperation(const std::wstring& operation, const TIntfMetaData& intf) override;
  std::wstring RequestBodyNamespace(const std::wstring& operation_ext_name) override;

 private:
  std::wstring service_, port_;
  TStreamLoader loader_;
};

}  // namespace soap
