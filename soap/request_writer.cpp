#include "soap/converter.h"
#include "soap/scalar_text.h"
#include "soap/soap_exceptions.h"
#include "soap/soap_namespaces.h"

#include "base/format.h"

namespace soap {

TSOAPConvertOptions DefaultConvertOptions() {
  using enum TSOAPConvertOption;
  return {soSendMultiRefObj, soTryAllSchema, soRootRefNodesToBody, soCacheMimeResponse, soUTF8EncodeXML};
}

TOPToSoapDomConvert::TOPToSoapDomConvert() : TOPToSoapDomConvert(InvRegistry(), RemTypeRegistry()) {}

TOPToSoapDomConvert::TOPToSoapDomConvert(TInvokableClassRegistry& registry, TRemotableTypeRegistry& types)
    : registry_(registry), types_(types) {}

namespace {

std::wstring TypeKindName(TTypeKind kind) {
  switch (kind) {
    case TTypeKind::tkSet: return L"Set";
    case TTypeKind::tkMethod: return L"Method";
    case TTypeKind::tkArray: return L"Array";
    case TTypeKind::tkRecord: return L"Record";
    case TTypeKind::tkInterface: return L"Interface";
    case TTypeKind::tkClass: return L"Class";
    case TTypeKind::tkVariant: return L"Variant";
    case TTypeKind::tkDynArray: return L"DynArray";
    default: return L"Unknown";
  }
}

[[noreturn]] void Unsupported(TTypeKind kind) {
  throw ESOAPDomConvertError(base::Format(
      L"Datatype of TypeKind: %s not supported as argument for remote invocation", {TypeKindName(kind)}));
}

std::wstring NativeToSoap(const TTypeInfo* info, const void* value) {
  switch (info->Kind) {
    case TTypeKind::tkUString: return *static_cast<const std::wstring*>(value);
    case TTypeKind::tkInteger: return IntegerToSoap(*static_cast<const int32_t*>(value));
    case TTypeKind::tkFloat: return DoubleToSoap(*static_cast<const double*>(value));
    default: Unsupported(info->Kind);
  }
}

// Each request is a new document, so prefixes count from NS1 again.
class PrefixCounter {
 public:
  std::wstring Next(const XmlNode& scope) {
    for (;; ++next_) {
      std::wstring prefix = L"NS" + std::to_wstring(next_);
      if (!scope.IsPrefixBound(prefix)) {
        ++next_;
        return prefix;
      }
    }
  }

 private:
  int next_ = 1;
};

XmlNode& AddQualifiedElement(XmlNode& parent, const std::wstring& local_name, const std::wstring& namespace_uri,
                             PrefixCounter& prefixes) {
  if (namespace_uri.empty()) return parent.AddElement(local_name, L"");
  if (auto prefix = parent.LookupPrefix(namespace_uri)) return parent.AddElement(*prefix + L":" + local_name, namespace_uri);
  std::wstring prefix = prefixes.Next(parent);
  XmlNode& element = parent.AddElement(prefix + L":" + local_name, namespace_uri);
  element.DeclareNamespace(prefix, namespace_uri);
  return element;
}

XmlNode& MakeEnvelope(XmlDocument& doc) {
  doc.root = std::make_unique<XmlNode>(XmlNodeKind::Element, L"SOAP-ENV:Envelope", kSoap11EnvelopeNamespace, L"");
  XmlNode& envelope = *doc.root;
  envelope.DeclareNamespace(L"SOAP-ENV", kSoap11EnvelopeNamespace);
  envelope.DeclareNamespace(L"xsd", kXMLSchemaNamespace);
  envelope.DeclareNamespace(L"xsi", kXsiNamespace);
  envelope.DeclareNamespace(L"SOAP-ENC", kSoapEncodingNamespace);
  return envelope;
}

void SetEncodingStyle(XmlNode& element) {
  element.SetAttribute(L"SOAP-ENV:encodingStyle", kSoap11EnvelopeNamespace, kSoapEncodingNamespace);
}

}  // namespace

std::wstring TOPToSoapDomConvert::CallNamespace(const TIntfMetaData& intf, const std::wstring& method_ext_name) {
  std::wstring ns;
  if (WSDLView) ns = WSDLView->RequestBodyNamespace(method_ext_name);
  if (ns.empty()) ns = registry_.GetNamespaceByGUID(intf.IID);
  return ns;
}

void TOPToSoapDomConvert::WriteParam(XmlNode& body, XmlNode& method, const std::wstring& name,
                                     const TTypeInfo* info, const void* value) {
  std::wstring text = NativeToSoap(info, value);
  TXSInfo xs = types_.TypeInfoToXSD(info);
  XmlNode& element = method.AddElement(name, L"");
  auto prefix = body.LookupPrefix(xs.URI);
  if (!prefix) {
    PrefixCounter fresh;
    prefix = fresh.Next(body);
    body.DeclareNamespace(*prefix, xs.URI);
  }
  element.SetAttribute(L"xsi:type", kXsiNamespace, *prefix + L":" + xs.Name);
  element.AddText(text);
}

std::string TOPToSoapDomConvert::InvContextToMsg(const TIntfMetaData& intf, int method_number,
                                                 const TInvContext& context, const TSOAPHeaders& headers) {
  const TIntfMethEntry& md = intf.MDA.at(method_number);
  if (WSDLView) WSDLView->SetOperation(md.Name, intf);

  XmlDocument doc;
  doc.encoding = Encoding;
  XmlNode& envelope = MakeEnvelope(doc);
  PrefixCounter prefixes;
  if (!headers.empty()) {
    XmlNode& header = envelope.AddElement(L"SOAP-ENV:Header", kSoap11EnvelopeNamespace);
    SetEncodingStyle(header);
    for (const auto& h : headers) h->ToXml(header);
  }
  XmlNode& body = envelope.AddElement(L"SOAP-ENV:Body", kSoap11EnvelopeNamespace);
  const std::wstring ext_name = registry_.GetMethExternalName(intf.Info, md.Name);
  XmlNode& method = AddQualifiedElement(body, ext_name, CallNamespace(intf, ext_name), prefixes);
  SetEncodingStyle(body);
  for (int i = 0; i < md.ParamCount(); ++i) {
    const TIntfParamEntry& p = md.Params[i];
    if ((p.Flags & pfOut) && !(p.Flags & pfVar)) continue;
    WriteParam(body, method, registry_.GetParamExternalName(intf.Info, md.Name, p.Name), p.Info,
               context.GetParamPointer(i));
  }
  return WriteDocument(doc);
}

}  // namespace soap
