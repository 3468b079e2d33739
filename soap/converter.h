#pragma once
// Turns a call description into a SOAP 1.1 RPC/encoded request and reads the
// answer back into the call context, or raises the fault it carries.
#include <functional>
#include <string>
#include <string_view>

#include "soap/invokable.h"
#include "soap/invoke_registry.h"
#include "soap/option_set.h"
#include "soap/soap_headers.h"
#include "soap/type_registry.h"
#include "soap/wsdl_view.h"
#include "soap/xml_tree.h"

namespace soap {

enum class TSOAPConvertOption {
  soSendUntyped, soSendMultiRefObj, soSendMultiRefArray, soTryAllSchema, soRootRefNodesToBody,
  soDocument, soReturnSuccessForFault, soUTF8InHeader, soDontSendEmptyNodes, soCacheMimeResponse,
  soDontClearOutBoundHeaders, soCustomFaultAtDetailsNode, soLiteralParams, soUTF8EncodeXML, soXXXXHdr,
  soFormElementUnqualifed, soSOAP12
};

using TSOAPConvertOptions = TOptionSet<TSOAPConvertOption>;

TSOAPConvertOptions DefaultConvertOptions();

class TOPToSoapDomConvert {
 public:
  // The process-wide registries unless others are given (tests).
  TOPToSoapDomConvert();
  TOPToSoapDomConvert(TInvokableClassRegistry& registry, TRemotableTypeRegistry& types);

  TSOAPConvertOptions Options = DefaultConvertOptions();
  std::wstring Encoding;
  TWSDLViewLink* WSDLView = nullptr;
  std::function<void(const XmlNode& entry)> OnUnhandledNode;

  // The request envelope, UTF-8 without byte-order mark.
  std::string InvContextToMsg(const TIntfMetaData& intf, int method_number, const TInvContext& context,
                              const TSOAPHeaders& headers);
  void ProcessResponse(std::string_view response, const TIntfMetaData& intf, const TIntfMethEntry& md,
                       TInvContext& context, TReceivedHeaders* headers);

 private:
  class RefCache;
  std::wstring CallNamespace(const TIntfMetaData& intf, const std::wstring& method_ext_name);
  void ReadHeader(const XmlNode& header, TReceivedHeaders* headers);
  void ReadResult(const XmlNode& response, const TIntfMetaData& intf, const TIntfMethEntry& md,
                  TInvContext& context, const RefCache& refs);
  void ReadValue(const XmlNode& element, const TTypeInfo* info, void* slot, const RefCache& refs);
  [[noreturn]] void RaiseFault(const XmlNode& fault);
  const TRemotableClassInfo* FaultClass(const XmlNode& detail) const;

  TInvokableClassRegistry& registry_;
  TRemotableTypeRegistry& types_;
};

}  // namespace soap
