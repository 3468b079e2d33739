#pragma once
// Our own XML tree: elements with qualified names and namespace URIs,
// attributes, text, CDATA, comments and processing instructions. Requests are
// built and written with it, answers are read into it.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace soap {

enum class XmlNodeKind { Element, Text, CData, Comment, ProcessingInstruction };

struct XmlAttribute {
  std::wstring name;  // qualified
  std::wstring namespace_uri;
  std::wstring value;
  std::wstring LocalName() const;
};

// The text after the first ":", or the whole name.
std::wstring LocalNameOf(const std::wstring& qualified);
std::wstring PrefixOf(const std::wstring& qualified);
// The same parts without a copy, for lookups.
std::wstring_view LocalPartOf(std::wstring_view qualified);
std::wstring_view PrefixPartOf(std::wstring_view qualified);

class XmlNode {
 public:
  XmlNode(XmlNodeKind kind, std::wstring name, std::wstring namespace_uri, std::wstring value);

  XmlNodeKind Kind() const { return kind_; }
  bool IsElement() const { return kind_ == XmlNodeKind::Element; }
  // Element: qualified name; processing instruction: target.
  const std::wstring& Name() const { return name_; }
  std::wstring LocalName() const { return LocalNameOf(name_); }
  const std::wstring& NamespaceURI() const { return namespace_uri_; }
  // Text, CDATA, comment or instruction data.
  const std::wstring& Value() const { return value_; }
  void AppendValue(const std::wstring& more) { value_ += more; }

  XmlNode* Parent() const { return parent_; }
  const std::vector<std::unique_ptr<XmlNode>>& Children() const { return children_; }
  std::vector<const XmlNode*> ElementChildren() const;
  const XmlNode* FirstElementChild() const;

  XmlNode& Append(std::unique_ptr<XmlNode> child);
  XmlNode& AddElement(const std::wstring& name, const std::wstring& namespace_uri);
  XmlNode& AddText(const std::wstring& text);

  const std::vector<XmlAttribute>& Attributes() const { return attributes_; }
  // Replaces an attribute of the same qualified name, else appends.
  void SetAttribute(const std::wstring& name, const std::wstring& namespace_uri,
                    const std::wstring& value);
  const XmlAttribute* FindAttribute(const std::wstring& qualified_name) const;
  const XmlAttribute* FindAttributeNS(const std::wstring& local_name,
                                      const std::wstring& namespace_uri) const;

  // Declares xmlns:prefix on this element.
  void DeclareNamespace(const std::wstring& prefix, const std::wstring& namespace_uri);
  // The prefix declared for the namespace here or on an ancestor; the
  // nearest declaration of a prefix hides outer ones.
  std::optional<std::wstring> LookupPrefix(const std::wstring& namespace_uri) const;
  // The namespace a prefix (empty: the default namespace) stands for here.
  std::optional<std::wstring> LookupNamespace(const std::wstring& prefix) const;
  bool IsPrefixBound(const std::wstring& prefix) const;

 private:
  XmlNodeKind kind_;
  std::wstring name_;
  std::wstring namespace_uri_;
  std::wstring value_;
  XmlNode* parent_ = nullptr;
  std::vector<XmlAttribute> attributes_;
  std::vector<std::unique_ptr<XmlNode>> children_;
};

struct XmlDocument {
  std::wstring version = L"1.0";
  std::wstring encoding;
  std::wstring standalone;
  std::unique_ptr<XmlNode> root;
};

// The markup of one node and its content, as text.
std::wstring NodeXml(const XmlNode& node);
// The whole document as UTF-8 without a byte-order mark: the declaration,
// then the root element, nothing between and no indentation.
std::string WriteDocument(const XmlDocument& document);

}  // namespace soap
