#pragma once
// The remote interface proxy: hands out a registered remote interface whose
// operations travel as SOAP requests over HTTP to the endpoint that the WSDL
// document names, and come back as their result or their fault.
//
// Typical use (the service module):
//   soap::THTTPRIO rio;                       // transport and converter defaults
//   rio.SetWSDLLocation(L"http://host:5660/VostraniKelvoP/Kelvo.dll/wsdl/IcoKelvo");
//   rio.SetService(L"IcoKelvoservice");       // after WSDLLocation, which clears it
//   rio.SetPort(L"IcoKelvoPort");
//   std::shared_ptr<soap::IcoKelvo> kelvo = rio.GetIcoKelvo();
//   kelvo->TestaConexao(); kelvo->BuscaSolic();
// From any thread: rio.Cancel() ends the exchange in flight with EAbort and
// every later one until rio.ResetCancel().
#include <memory>
#include <string>

#include "soap/soap_exceptions.h"
#include "soap/IcoKelvo1.h"
#include "soap/call_sequence.h"
#include "soap/converter.h"
#include "soap/soap_headers.h"

namespace soap {

class THTTPReqResp;
class THTTPCancellation;
class IWebNode;
class TWSDLItems;
class TWSDLView;

// A cast to an interface that the proxy refused.
TAV_EXCEPTION_CLASS(EIntfCastError, Exception);

// What every remote interface proxy shares: binding to one interface and the
// call sequence.
class TRIO : public TCallSequence {
 public:
  TRIO();
  ~TRIO() override;
  TRIO(const TRIO&) = delete;
  TRIO& operator=(const TRIO&) = delete;

  // The reference for a remote interface, or null when refused (not
  // registered, or the proxy is bound to another interface). The reference
  // must not outlive the proxy.
  std::shared_ptr<IInvokable> QueryInterface(const TGUID& iid);
  // The contract of the central web service; raises EIntfCastError with
  // "Interface not supported" when the proxy refuses it.
  std::shared_ptr<IcoKelvo> GetIcoKelvo();

  bool InterfaceBound() const { return bound_; }
  // Headers to send with the next call (cleared after every exchange) and
  // those the last answer carried.
  TSOAPHeaders& OutboundHeaders() { return headers_out_; }
  const TReceivedHeaders& InboundHeaders() const { return headers_in_; }

  // The converter and transport in use; null means none is set, and calls
  // then fail with their guard messages.
  TOPToSoapDomConvert* Converter() const { return converter_; }
  IWebNode* WebNode() const { return web_node_; }

  void Invoke(const TIntfMetaData& intf, int method_number, TInvContext& context) override;

 protected:
  // Runs after every successful answer for the bound interface.
  virtual void AfterBind(const TIntfMetaData& intf) {}
  TOPToSoapDomConvert* converter_ = nullptr;
  IWebNode* web_node_ = nullptr;

 private:
  std::shared_ptr<IInvokable> MakeCallEntries(const TGUID& iid);

  TGUID iid_{};
  bool bound_ = false;
  bool has_rtti_ = false;
  TIntfMetaData intf_md_;
  TSOAPHeaders headers_out_;
  TReceivedHeaders headers_in_;
};

class THTTPRIO : public TRIO {
 public:
  THTTPRIO();
  ~THTTPRIO() override;

  // Location (http/https URL or file name) of the WSDL document, loaded at
  // the first call that needs it. Clears Service and Port and an endpoint
  // URL that the transport holds.
  void SetWSDLLocation(const std::wstring& location);
  const std::wstring& WSDLLocation() const { return wsdl_location_; }
  void SetService(const std::wstring& name);
  std::wstring Service() const;
  void SetPort(const std::wstring& name);
  std::wstring Port() const;
  // An explicit endpoint; a non-empty one drops the WSDL.
  void SetURL(const std::wstring& url);
  std::wstring URL() const;

  THTTPReqResp& HTTPWebNode() { return *web_node_owned_; }
  TOPToSoapDomConvert& DefaultConverter() { return *converter_owned_; }
  TWSDLItems* WSDLItems() const { return wsdl_items_.get(); }

  // Thread-safe: ends the exchange in flight (the call, or the WSDL fetch
  // inside it) at once with EAbort, and every exchange after it until
  // ResetCancel, so that a stop arriving between two calls is not lost.
  void Cancel();
  void ResetCancel();
  // Bounds the exchanges from now until EndBudget to `ms` in total (the WSDL,
  // its imports and the calls alike); one spent fails with a time-out.
  void StartBudget(uint32_t ms);
  void EndBudget();

 protected:
  void AfterBind(const TIntfMetaData& intf) override;

 private:
  TWSDLView& View();
  void AttachView(bool attach);

  std::shared_ptr<THTTPCancellation> cancellation_;

  std::unique_ptr<TOPToSoapDomConvert> converter_owned_;
  std::unique_ptr<THTTPReqResp> web_node_owned_;
  std::wstring wsdl_location_;
  std::unique_ptr<TWSDLItems> wsdl_items_;
  std::unique_ptr<TWSDLView> wsdl_view_;
};

}  // namespace soap
