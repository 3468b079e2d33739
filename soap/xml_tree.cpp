#include "soap/xml_tree.h"

#include "core/utf.h"
#include "platform/xml_parser.h"

namespace soap {

std::wstring_view LocalPartOf(std::wstring_view qualified) {
  size_t colon = qualified.find(L':');
  return colon == std::wstring_view::npos ? qualified : qualified.substr(colon + 1);
}

std::wstring_view PrefixPartOf(std::wstring_view qualified) {
  size_t colon = qualified.find(L':');
  return colon == std::wstring_view::npos ? std::wstring_view() : qualified.substr(0, colon);
}

std::wstring LocalNameOf(const std::wstring& qualified) { return std::wstring(LocalPartOf(qualified)); }

std::wstring PrefixOf(const std::wstring& qualified) { return std::wstring(PrefixPartOf(qualified)); }

std::wstring XmlAttribute::LocalName() const { return LocalNameOf(name); }

XmlNode::XmlNode(XmlNodeKind kind, std::wstring name, std::wstring namespace_uri, std::wstring value)
    : kind_(kind), name_(std::move(name)), namespace_uri_(std::move(namespace_uri)), value_(std::move(value)) {}

std::vector<const XmlNode*> XmlNode::ElementChildren() const {
  std::vector<const XmlNode*> out;
  for (const auto& child : children_)
    if (child->IsElement()) out.push_back(child.get());
  return out;
}

const XmlNode* XmlNode::FirstElementChild() const {
  for (const auto& child : children_)
    if (child->IsElement()) return child.get();
  return nullptr;
}

XmlNode& XmlNode::Append(std::unique_ptr<XmlNode> child) {
  child->parent_ = this;
  children_.push_back(std::move(child));
  return *children_.back();
}

XmlNode& XmlNode::AddElement(const std::wstring& name, const std::wstring& namespace_uri) {
  return Append(std::make_unique<XmlNode>(XmlNodeKind::Element, name, namespace_uri, L""));
}

XmlNode& XmlNode::AddText(const std::wstring& text) {
  return Append(std::make_unique<XmlNode>(XmlNodeKind::Text, L"", L"", text));
}

void XmlNode::SetAttribute(const std::wstring& name, const std::wstring& namespace_uri,
                           const std::wstring& value) {
  for (auto& a : attributes_) {
    if (a.name == name) {
      a.namespace_uri = namespace_uri;
      a.value = value;
      return;
    }
  }
  attributes_.push_back({name, namespace_uri, value});
}

const XmlAttribute* XmlNode::FindAttribute(const std::wstring& qualified_name) const {
  for (const auto& a : attributes_)
    if (a.name == qualified_name) return &a;
  return nullptr;
}

const XmlAttribute* XmlNode::FindAttributeNS(const std::wstring& local_name,
                                             const std::wstring& namespace_uri) const {
  for (const auto& a : attributes_)
    if (a.namespace_uri == namespace_uri && a.LocalName() == local_name) return &a;
  return nullptr;
}

namespace {

// The attribute that declares a prefix; the empty prefix is the default namespace.
std::wstring DeclarationName(const std::wstring& prefix) { return prefix.empty() ? L"xmlns" : L"xmlns:" + prefix; }

// Whether the attribute is a namespace declaration, and of which prefix.
bool DeclaredPrefix(const XmlAttribute& a, std::wstring& prefix) {
  if (a.name == L"xmlns") {
    prefix.clear();
    return true;
  }
  if (a.name.rfind(L"xmlns:", 0) == 0) {
    prefix = a.name.substr(6);
    return true;
  }
  return false;
}

}  // namespace

void XmlNode::DeclareNamespace(const std::wstring& prefix, const std::wstring& namespace_uri) {
  SetAttribute(DeclarationName(prefix), platform::kXmlnsNamespace, namespace_uri);
}

std::optional<std::wstring> XmlNode::LookupPrefix(const std::wstring& namespace_uri) const {
  for (const XmlNode* n = this; n; n = n->parent_) {
    for (const auto& a : n->attributes_) {
      std::wstring prefix;
      if (!DeclaredPrefix(a, prefix) || prefix.empty() || a.value != namespace_uri) continue;
      // Usable only when no nearer element rebinds that prefix.
      if (LookupNamespace(prefix) == namespace_uri) return prefix;
    }
  }
  return std::nullopt;
}

std::optional<std::wstring> XmlNode::LookupNamespace(const std::wstring& prefix) const {
  const std::wstring name = DeclarationName(prefix);
  for (const XmlNode* n = this; n; n = n->parent_)
    if (const XmlAttribute* a = n->FindAttribute(name)) return a->value;
  return std::nullopt;
}

bool XmlNode::IsPrefixBound(const std::wstring& prefix) const {
  return !prefix.empty() && LookupNamespace(prefix).has_value();
}

namespace {

void Escape(std::wstring& out, const std::wstring& text, bool attribute) {
  for (wchar_t c : text) {
    switch (c) {
      case L'&': out += L"&amp;"; break;
      case L'<': out += L"&lt;"; break;
      case L'>': out += L"&gt;"; break;
      case L'"':
        if (attribute) out += L"&quot;";
        else out += c;
        break;
      // Readers normalise these, so they survive only as references.
      case L'\r': out += L"&#13;"; break;
      case L'\n':
        if (attribute) out += L"&#10;";
        else out += c;
        break;
      case L'\t':
        if (attribute) out += L"&#9;";
        else out += c;
        break;
      default: out += c;
    }
  }
}

void Write(std::wstring& out, const XmlNode& node) {
  switch (node.Kind()) {
    case XmlNodeKind::Text: Escape(out, node.Value(), false); return;
    case XmlNodeKind::CData: out += L"<![CDATA[" + node.Value() + L"]]>"; return;
    case XmlNodeKind::Comment: out += L"<!--" + node.Value() + L"-->"; return;
    case XmlNodeKind::ProcessingInstruction:
      out += L"<?" + node.Name();
      if (!node.Value().empty()) out += L" " + node.Value();
      out += L"?>";
      return;
    case XmlNodeKind::Element: break;
  }
  out += L'<';
  out += node.Name();
  for (const auto& a : node.Attributes()) {
    out += L' ';
    out += a.name;
    out += L"=\"";
    Escape(out, a.value, true);
    out += L'"';
  }
  if (node.Children().empty()) {
    out += L"/>";
    return;
  }
  out += L'>';
  for (const auto& child : node.Children()) Write(out, *child);
  out += L"</" + node.Name() + L">";
}

}  // namespace

std::wstring NodeXml(const XmlNode& node) {
  std::wstring out;
  Write(out, node);
  return out;
}

std::string WriteDocument(const XmlDocument& document) {
  std::wstring out = L"<?xml";
  auto item = [&](const wchar_t* name, const std::wstring& value) {
    if (!value.empty()) out += std::wstring(L" ") + name + L"=\"" + value + L"\"";
  };
  item(L"version", document.version);
  item(L"encoding", document.encoding);
  item(L"standalone", document.standalone);
  out += L"?>";
  if (document.root) Write(out, *document.root);
  return core::ToUtf8(out);
}

}  // namespace soap
