#include "soap/converter.h"
#include "soap/scalar_text.h"
#include "soap/soap_exceptions.h"
#include "soap/soap_namespaces.h"

#include <cwchar>

#include "core/format.h"

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

[[noreturn]] void Unsupported(TTypeKind kind) { RaiseUnsupportedType(TypeKindName(kind)); }

bool IsXmlChar(uint32_t c) {
  if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
  return (c < 0xD800) || (c > 0xDFFF && c < 0xFFFE) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Written raw, such a character would make the whole request ill-formed, so
// the call fails before anything is sent.
void RefuseCharactersXmlCannotCarry(const std::wstring& name, const std::wstring& text) {
  int position = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    ++position;
    uint32_t c = static_cast<uint32_t>(text[i]);
    // A pair of UTF-16 units is one character (wchar_t is 16 bits on Windows).
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
      const uint32_t low = static_cast<uint32_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (IsXmlChar(c)) continue;
    wchar_t code[16];
    std::swprintf(code, 16, L"U+%04X", static_cast<unsigned>(c));
    throw ESOAPDomConvertError(core::Format(L"Parameter %s holds the character %s at position %d, which XML cannot carry",
                                            {name, std::wstring(code), int64_t{position}}));
  }
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

namespace {

// The request's own counter: a fresh one would hand out NS1 again, which the
// method element may already bind to the call's namespace, shadowing the
// type's prefix declared on Body.
void WriteParam(TRemotableTypeRegistry& types, XmlNode& body, XmlNode& method, PrefixCounter& prefixes,
                const std::wstring& name, const TTypeInfo* info, const void* value) {
  std::wstring text = NativeToSoap(info, value);
  RefuseCharactersXmlCannotCarry(name, text);
  TXSInfo xs = types.TypeInfoToXSD(info);
  XmlNode& element = method.AddElement(name, L"");
  auto prefix = body.LookupPrefix(xs.URI);
  if (!prefix) {
    prefix = prefixes.Next(method);
    body.DeclareNamespace(*prefix, xs.URI);
  }
  element.SetAttribute(L"xsi:type", kXsiNamespace, *prefix + L":" + xs.Name);
  element.AddText(text);
}

}  // namespace

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
    WriteParam(types_, body, method, prefixes, registry_.GetParamExternalName(intf.Info, md.Name, p.Name), p.Info,
               context.GetParamPointer(i));
  }
  return WriteDocument(doc);
}

}  // namespace soap
