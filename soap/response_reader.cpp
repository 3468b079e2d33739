#include <unordered_map>

#include "core/format.h"
#include "core/text.h"
#include "soap/converter.h"
#include "soap/scalar_text.h"
#include "soap/soap_exceptions.h"
#include "soap/soap_namespaces.h"
#include "soap/xml_reader.h"

namespace soap {

// Every element with an id attribute, under "#" + id, without regard to
// case; the first in document order wins. Most answers carry no href, so
// the index is built at the first lookup.
class TOPToSoapDomConvert::RefCache {
 public:
  explicit RefCache(const XmlNode* root) : root_(root) {}
  const XmlNode* Find(const std::wstring& href) const {
    if (!indexed_) {
      if (root_) Add(*root_);
      indexed_ = true;
    }
    auto it = index_.find(core::UpperCaseAscii(href));
    return it == index_.end() ? nullptr : it->second;
  }

 private:
  void Add(const XmlNode& node) const {
    if (const XmlAttribute* id = node.FindAttribute(L"id"))
      index_.emplace(core::UpperCaseAscii(L"#" + id->value), &node);
    for (const auto& child : node.Children())
      if (child->IsElement()) Add(*child);
  }
  const XmlNode* root_;
  mutable bool indexed_ = false;
  mutable std::unordered_map<std::wstring, const XmlNode*> index_;
};

namespace {

bool IsTrue(const std::wstring& value) { return value == L"1" || core::SameTextAscii(value, L"true"); }

bool IsNil(const XmlNode& element) {
  for (const wchar_t* name : {L"nil", L"NULL"})
    if (const XmlAttribute* a = element.FindAttributeNS(name, kXsiNamespace); a && IsTrue(a->value)) return true;
  return false;
}

// A single text child gives its value; anything else the markup of all children.
std::wstring ValueText(const XmlNode& element) {
  const auto& children = element.Children();
  if (children.size() == 1 && children[0]->Kind() == XmlNodeKind::Text) return children[0]->Value();
  std::wstring text;
  for (const auto& child : children) text += NodeXml(*child);
  return text;
}

std::vector<std::wstring> SplitNames(const std::wstring& names) {
  std::vector<std::wstring> out(1);
  for (wchar_t c : names) {
    if (c == L',' || c == L';') out.emplace_back();
    else out.back() += c;
  }
  return out;
}

}  // namespace

void TOPToSoapDomConvert::ReadValue(const XmlNode& element, const TTypeInfo* info, void* slot,
                                    const RefCache& refs) {
  const XmlNode* node = &element;
  if (const XmlAttribute* href = element.FindAttribute(L"href"))
    if (const XmlNode* target = refs.Find(href->value)) node = target;
  const bool nil = IsNil(*node);
  const std::wstring text = ValueText(*node);
  switch (info->Kind) {
    case TTypeKind::tkUString: *static_cast<std::wstring*>(slot) = text; break;
    case TTypeKind::tkInteger: *static_cast<int32_t*>(slot) = nil ? 0 : SoapToInteger(text); break;
    case TTypeKind::tkFloat: *static_cast<double*>(slot) = nil ? 0.0 : SoapToDouble(text); break;
    default:
      RaiseUnsupportedType(info->Name);
  }
}

void TOPToSoapDomConvert::ReadResult(const XmlNode& response, const TIntfMetaData& intf, const TIntfMethEntry& md,
                                     TInvContext& context, const RefCache& refs) {
  const auto children = response.ElementChildren();
  const XmlNode* ret = nullptr;
  if (md.ResultInfo) {
    if (children.size() == 1) {
      ret = children[0];
    } else {
      const auto names = SplitNames(registry_.GetReturnParamNames(intf.Info));
      for (const XmlNode* child : children) {
        for (const auto& name : names)
          if (core::SameTextAscii(child->LocalName(), name)) ret = child;
        if (ret) break;
      }
    }
    if (!ret)
      throw ESOAPDomConvertError(core::Format(
          L"SOAP Response Packet: element matching function return not found, received \"%s\"", {NodeXml(response)}));
  } else if (md.Params.empty()) {
    return;
  }
  std::vector<bool> filled(md.Params.size(), false);
  for (const XmlNode* child : children) {
    if (child == ret) {
      if (void* slot = context.GetResultPointer()) ReadValue(*child, md.ResultInfo, slot, refs);
      continue;
    }
    for (size_t i = 0; i < md.Params.size(); ++i) {
      const TIntfParamEntry& p = md.Params[i];
      // Only var and out parameters receive values; const arguments belong to the caller.
      if (filled[i] || !(p.Flags & (pfVar | pfOut))) continue;
      if (child->LocalName() != registry_.GetParamExternalName(intf.Info, md.Name, p.Name)) continue;
      filled[i] = true;
      if (void* slot = context.GetParamPointer(static_cast<int>(i))) ReadValue(*child, p.Info, slot, refs);
      break;
    }
  }
}

void TOPToSoapDomConvert::ReadHeader(const XmlNode& header, TReceivedHeaders* headers) {
  for (const XmlNode* entry : header.ElementChildren()) {
    if (const TRemotableClassInfo* cls = registry_.GetHeaderClass(entry->LocalName(), entry->NamespaceURI())) {
      if (headers) headers->push_back({cls, entry->LocalName(), entry->NamespaceURI(), NodeXml(*entry)});
      continue;
    }
    if (OnUnhandledNode) OnUnhandledNode(*entry);
    const XmlAttribute* must = entry->FindAttribute(L"mustUnderstand");
    if (must && IsTrue(must->value)) {
      ERemotableException e(core::Format(
          L"Soap header %s with attribute 'mustUnderstand' set to true was not handled", {entry->LocalName()}));
      e.FaultCode = L"MustUnderstand";
      throw e;
    }
  }
}

void TOPToSoapDomConvert::ProcessResponse(std::string_view response, const TIntfMetaData& intf,
                                          const TIntfMethEntry& md, TInvContext& context,
                                          TReceivedHeaders* headers) {
  XmlDocument doc = ParseXmlDocument(response);
  RefCache refs(doc.root.get());
  const XmlNode* envelope = doc.root.get();
  if (!envelope) throw ESOAPDomConvertError(L"Invalid SOAP Response");
  const std::wstring& ns = envelope->NamespaceURI();
  if (envelope->LocalName() != L"Envelope" || (ns != kSoap11EnvelopeNamespace && ns != kSoap12EnvelopeNamespace))
    throw ESOAPDomConvertError(core::Format(L"DocumentElement %s:%s expected, %s:%s found",
                                            {std::wstring(kSoap11EnvelopeNamespace), std::wstring(L"Envelope"), ns,
                                             envelope->LocalName()}));
  if (envelope->Children().empty()) throw ESOAPDomConvertError(L"Invalid SOAP request");
  bool seen_header = false, seen_body = false;
  for (const XmlNode* child : envelope->ElementChildren()) {
    const std::wstring local = child->LocalName();
    if (local == L"Header") {
      if (seen_header) throw ESOAPDomConvertError(L"Invalid SOAP response");
      seen_header = true;
      ReadHeader(*child, headers);
    } else if (local == L"Body") {
      if (seen_body) throw ESOAPDomConvertError(L"Invalid SOAP response");
      seen_body = true;
      const XmlNode* first = child->FirstElementChild();
      if (!first) continue;
      if (first->LocalName() == L"Fault") RaiseFault(*first);
      ReadResult(*first, intf, md, context, refs);
    }
  }
}

}  // namespace soap
