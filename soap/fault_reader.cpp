#include <memory>

#include "core/format.h"
#include "core/text.h"
#include "soap/converter.h"
#include "soap/soap_exceptions.h"
#include "soap/soap_namespaces.h"

namespace soap {
namespace {

// Fault texts are read strictly: one text or CDATA child, or none.
std::wstring FaultText(const XmlNode& element) {
  const auto& children = element.Children();
  if (children.empty()) return L"";
  if (children.size() == 1 &&
      (children[0]->Kind() == XmlNodeKind::Text || children[0]->Kind() == XmlNodeKind::CData))
    return children[0]->Value();
  throw EXMLDocError(core::Format(L"Element \"%s\" does not contain a single text node", {element.Name()}));
}

}  // namespace

const TRemotableClassInfo* TOPToSoapDomConvert::FaultClass(const XmlNode& detail) const {
  auto xsi_type = [&](const XmlNode& element) -> const XmlAttribute* {
    std::vector<const wchar_t*> spaces{kXsiNamespace};
    if (Options.Has(TSOAPConvertOption::soTryAllSchema)) spaces.insert(spaces.end(), {kXsi1999Namespace, kXsi2000Namespace});
    for (const wchar_t* ns : spaces)
      if (const XmlAttribute* a = element.FindAttributeNS(L"type", ns)) return a;
    return nullptr;
  };
  auto by_type = [&](const XmlNode& element, const XmlAttribute& type) {
    const std::wstring ns = element.LookupNamespace(PrefixOf(type.value)).value_or(L"");
    return types_.URIToClass(ns, LocalNameOf(type.value));
  };
  const TRemotableClassInfo* cls = nullptr;
  const XmlNode* first = detail.FirstElementChild();
  if (const XmlAttribute* t = xsi_type(detail)) cls = by_type(detail, *t);
  else if (first && (t = xsi_type(*first))) cls = by_type(*first, *t);
  else if (first) cls = types_.URIToClass(first->NamespaceURI(), first->LocalName());
  return cls && cls->IsRemotableException() ? cls : nullptr;
}

void TOPToSoapDomConvert::RaiseFault(const XmlNode& fault) {
  const XmlNode *code = nullptr, *reason = nullptr, *actor = nullptr, *detail = nullptr;
  for (const XmlNode* child : fault.ElementChildren()) {
    const std::wstring local = child->LocalName();
    if (core::SameTextAscii(local, L"faultcode")) code = child;
    else if (core::SameTextAscii(local, L"faultstring")) reason = child;
    else if (core::SameTextAscii(local, L"faultactor")) actor = child;
    else if (core::SameTextAscii(local, L"detail")) detail = child;
  }
  const std::wstring message = reason ? FaultText(*reason) : L"";
  std::unique_ptr<ERemotableException> e;
  if (detail)
    if (const TRemotableClassInfo* cls = FaultClass(*detail)) e = cls->CreateFault(message);
  if (!e) e = std::make_unique<ERemotableException>(message);
  e->FaultActor = actor ? FaultText(*actor) : L"";
  e->FaultCode = code ? FaultText(*code) : L"";
  e->FaultDetail = detail ? NodeXml(*detail) : L"";
  e->Raise();
  throw *e;  // not reached: Raise always throws
}

}  // namespace soap
