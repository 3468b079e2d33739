#include "soap/http_rio.h"

#include "core/format.h"
#include "soap/http_transport.h"
#include "soap/invoke_registry.h"
#include "soap/wsdl.h"

namespace soap {

TRIO::TRIO() = default;
TRIO::~TRIO() = default;

std::shared_ptr<IInvokable> TRIO::MakeCallEntries(const TGUID& iid) {
  if (iid == IcoKelvoMetaData().IID) return std::make_shared<TIcoKelvoProxy>(*this);
  return nullptr;
}

std::shared_ptr<IInvokable> TRIO::QueryInterface(const TGUID& iid) {
  if (bound_ && !(iid == iid_)) return nullptr;
  if (!bound_) {
    const TTypeInfo* info = InvRegistry().GetInterfaceTypeInfo(iid);
    if (!info) return nullptr;
    has_rtti_ = info->IntfData != nullptr;
    if (has_rtti_) intf_md_ = *info->IntfData;
  }
  auto entries = MakeCallEntries(iid);
  if (!entries) return nullptr;
  iid_ = iid;
  bound_ = true;

  // Every successful answer re-applies the interface's registered options.
  const TIntfInvokeOptions options = InvRegistry().GetIntfInvokeOptions(intf_md_.Info);
  if (converter_) {
    auto follow = [&](TSOAPConvertOption convert, TIntfInvokeOption registered) {
      if (options.Has(registered)) converter_->Options.Include(convert);
      else converter_->Options.Exclude(convert);
    };
    follow(TSOAPConvertOption::soDocument, TIntfInvokeOption::ioDocument);
    follow(TSOAPConvertOption::soLiteralParams, TIntfInvokeOption::ioLiteral);
    follow(TSOAPConvertOption::soSOAP12, TIntfInvokeOption::ioSOAP12);
  }
  if (web_node_) {
    TWebNodeOptions node = web_node_->GetWebNodeOptions();
    if (options.Has(TIntfInvokeOption::ioSOAP12)) node.Include(WebNodeOption::wnoSOAP12);
    else node.Exclude(WebNodeOption::wnoSOAP12);
    web_node_->SetWebNodeOptions(node);
  }
  AfterBind(intf_md_);
  return entries;
}

std::shared_ptr<IcoKelvo> TRIO::GetIcoKelvo() {
  EnsureIcoKelvoRegistered();
  auto kelvo = std::dynamic_pointer_cast<IcoKelvo>(QueryInterface(IcoKelvoMetaData().IID));
  if (!kelvo) throw EIntfCastError(L"Interface not supported");
  return kelvo;
}

void TRIO::Invoke(const TIntfMetaData& intf, int method_number, TInvContext& context) {
  if (!converter_) throw Exception(L"No Native to Message converter set");
  if (!web_node_) throw Exception(L"No Message processing node set");
  if (!has_rtti_) throw Exception(core::Format(L"Interface has no RTTI, UUID = %s", {GUIDToString(iid_)}));
  const TIntfMethEntry& method = intf.MDA.at(method_number);
  headers_in_.clear();
  const std::string request = converter_->InvContextToMsg(intf, method_number, context, headers_out_);
  web_node_->BeforeExecute(intf, method, method_number - kBaseMethodCount, nullptr);
  std::string response;
  try {
    web_node_->Execute(request, response);
  } catch (...) {
    headers_out_.clear();
    throw;
  }
  headers_out_.clear();
  converter_->ProcessResponse(response, intf, method, context, &headers_in_);
}

THTTPRIO::THTTPRIO()
    : cancellation_(std::make_shared<THTTPCancellation>()),
      converter_owned_(std::make_unique<TOPToSoapDomConvert>()),
      web_node_owned_(std::make_unique<THTTPReqResp>()) {
  converter_ = converter_owned_.get();
  web_node_ = web_node_owned_.get();
  web_node_owned_->SetCancellation(cancellation_);
}

THTTPRIO::~THTTPRIO() = default;

TWSDLView& THTTPRIO::View() {
  if (!wsdl_view_) {
    wsdl_view_ = std::make_unique<TWSDLView>();
    wsdl_view_->Loader().Transport().SetCancellation(cancellation_);
  }
  return *wsdl_view_;
}

void THTTPRIO::AttachView(bool attach) {
  converter_owned_->WSDLView = attach ? wsdl_view_.get() : nullptr;
  web_node_owned_->WSDLView = attach ? wsdl_view_.get() : nullptr;
}

void THTTPRIO::SetWSDLLocation(const std::wstring& location) {
  if (!location.empty() && !web_node_owned_->URL().empty()) web_node_owned_->SetURL(L"");
  wsdl_location_ = location;
  TWSDLView& view = View();
  view.WSDL = nullptr;
  wsdl_items_ = std::make_unique<TWSDLItems>(view.Loader());
  wsdl_items_->Location = location;
  view.SetService(L"");
  view.SetPort(L"");
  if (location.empty()) {
    wsdl_items_.reset();
    return;
  }
  view.WSDL = wsdl_items_.get();
  AttachView(true);
}

void THTTPRIO::SetService(const std::wstring& name) { View().SetService(name); }
std::wstring THTTPRIO::Service() const { return wsdl_view_ ? wsdl_view_->ServiceSetting() : L""; }
void THTTPRIO::SetPort(const std::wstring& name) { View().SetPort(name); }
std::wstring THTTPRIO::Port() const { return wsdl_view_ ? wsdl_view_->PortSetting() : L""; }

void THTTPRIO::SetURL(const std::wstring& url) {
  web_node_owned_->SetURL(url);
  if (url.empty()) return;
  SetWSDLLocation(L"");
  AttachView(false);
}

std::wstring THTTPRIO::URL() const { return web_node_owned_->URL(); }

void THTTPRIO::Cancel() { cancellation_->Cancel(); }
void THTTPRIO::ResetCancel() { cancellation_->Reset(); }
void THTTPRIO::StartBudget(uint32_t ms) { cancellation_->StartBudget(ms); }
void THTTPRIO::EndBudget() { cancellation_->EndBudget(); }

void THTTPRIO::AfterBind(const TIntfMetaData& intf) {
  std::wstring action;
  InvRegistry().GetActionURIOfInfo(intf.Info, L"", -1, action);
  web_node_owned_->SetSoapAction(action);
  const TUDDIInfo uddi = InvRegistry().GetUDDIInfo(intf.Info);
  if (uddi.Registered) {
    web_node_owned_->UDDIOperator = uddi.Operator;
    web_node_owned_->UDDIBindingKey = uddi.BindingKey;
  }
}

}  // namespace soap
