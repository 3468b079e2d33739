// The transport's per-call preparation: the SOAPAction and the endpoint of
// the call, from the WSDL document unless an endpoint was set explicitly.
#include "core/format.h"
#include "soap/http_transport.h"
#include "soap/invoke_registry.h"
#include "soap/wsdl.h"

namespace soap {

std::wstring THTTPReqResp::ActionURI(const TIntfMetaData& intf, const TIntfMethEntry& method,
                                     int method_index) const {
  std::wstring action = soap_action_;
  InvRegistry().GetActionURIOfInfo(intf.Info, InvRegistry().GetMethExternalName(intf.Info, method.Name),
                                   method_index, action);
  return action;
}

void THTTPReqResp::ResolveEndpoint(const TIntfMetaData& intf, const TIntfMethEntry& method, int method_index) {
  if (user_set_url_) {
    soap_action_ = ActionURI(intf, method, method_index);
    return;
  }
  if (!WSDLView || !WSDLView->WSDL)
    throw ESOAPHTTPException(
        L"No WSDL or URL property was set in the THTTPRIO component. You must set the WSDL or URL property "
        L"before invoking the Web Service");
  const int version =
      InvRegistry().GetIntfInvokeOptions(intf.Info).Has(TIntfInvokeOption::ioSOAP12) ? 2 : 1;
  WSDLView->Activate();
  TWSDLItems& wsdl = *WSDLView->WSDL;
  const std::wstring port = WSDLView->GetPort();
  const std::wstring service = WSDLView->GetService();
  const std::wstring binding = wsdl.GetBindingForServicePort(service, port);
  // Without a binding the document names no action: the registered one
  // applies, never what an earlier call or the interface's template left.
  soap_action_.clear();
  if (!binding.empty()) {
    int v = version;
    soap_action_ =
        wsdl.GetSoapAction(binding, InvRegistry().GetMethExternalName(intf.Info, WSDLView->Operation), v, 0);
  }
  if (soap_action_.empty()) soap_action_ = ActionURI(intf, method, method_index);
  int v = version;
  const std::wstring endpoint = wsdl.GetSoapAddressForServicePort(service, port, v);
  if (endpoint.empty()) {
    // Kept, such a document would fail every later call of a proxy that
    // lives as long as the service: fetch it again at the next call.
    wsdl.SetInactive();
    throw ESOAPHTTPException(core::Format(L"Unable to retrieve the URL endpoint for Service/Port '%s'/'%s' from WSDL '%s'",
                                          {service, port, wsdl.Location}));
  }
  SetResolvedURL(endpoint);
}

void THTTPReqResp::BeforeExecute(const TIntfMetaData& IntfMD, const TIntfMethEntry& MethMD, int MethodIndex,
                                 IMimeAttachmentHandler* AttachHandler) {
  ResolveEndpoint(IntfMD, MethMD, MethodIndex);
  if (!AttachHandler) {
    binding_type_ = TWebServiceBindingType::btSoap;
    return;
  }
  binding_type_ = TWebServiceBindingType::btMime;
  mime_boundary_ = AttachHandler->GetMIMEBoundary();
  AttachHandler->AddSoapHeader(core::Format(
      L"Content-Type: %s", {std::wstring(UseUTF8InHeader ? L"text/xml; charset=\"utf-8\"" : L"text/xml")}));
  CheckHeaderValue(L"SOAPAction", SoapAction());
  AttachHandler->AddSoapHeader(SOAPActionLine());
}

}  // namespace soap
