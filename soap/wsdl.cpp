#include "soap/wsdl.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "core/format.h"
#include "core/text.h"
#include "soap/invoke_registry.h"
#include "soap/xml_reader.h"

namespace soap {

namespace {

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& start) {
  return text.size() >= start.size() && core::SameTextAscii(text.substr(0, start.size()), start);
}

bool IsHttpLocation(const std::wstring& location) {
  return StartsWithIgnoringCase(location, L"http://") || StartsWithIgnoringCase(location, L"https://");
}

// A real document has few imports.
constexpr size_t kMaxImportedDocuments = 32;

std::string ReadWholeFile(const std::wstring& name) {
  std::ifstream in(std::filesystem::path(name), std::ios::binary);
  if (!in) throw Exception(core::Format(L"Cannot open file \"%s\"", {name}));
  std::string bytes;
  char piece[16384];
  while (in.read(piece, sizeof piece) || in.gcount() > 0) {
    bytes.append(piece, static_cast<size_t>(in.gcount()));
    if (bytes.size() > kMaxXmlDocumentBytes) break;  // the parser refuses it with its own message
  }
  return bytes;
}

}  // namespace

TStreamLoader::TStreamLoader() = default;

std::string TStreamLoader::Load(const std::wstring& location) {
  if (!IsHttpLocation(location)) return ReadWholeFile(location);
  transport_.SetURL(location);
  transport_.SetUserName(UserName);
  transport_.SetPassword(Password);
  transport_.SetProxy(Proxy);
  if (Timeout != 0) transport_.ConnectTimeout = transport_.SendTimeout = transport_.ReceiveTimeout = Timeout;
  std::string body;
  transport_.Get(body);
  return body;
}

// Name lookups in one parsed WSDL document.
struct TWSDLItems::Document {
  const XmlNode* root;

  bool IsWSDL() const {
    return root && root->LocalName() == L"definitions" && root->NamespaceURI() == kWSDLNamespace;
  }

  std::optional<std::wstring> NamespaceOfPrefix(const std::wstring& prefix) const {
    if (prefix.empty()) {
      const XmlAttribute* target = root->FindAttribute(L"targetNamespace");
      return target ? std::optional(target->value) : std::nullopt;
    }
    return root->LookupNamespace(prefix);
  }

  // Local names equal, and the prefixes equal or standing for the same
  // namespace (letter case aside).
  bool NamesMatch(std::wstring_view written, std::wstring_view wanted) const {
    if (LocalPartOf(written) != LocalPartOf(wanted)) return false;
    const std::wstring_view a = PrefixPartOf(written), b = PrefixPartOf(wanted);
    if (a == b) return true;
    auto ua = NamespaceOfPrefix(std::wstring(a)), ub = NamespaceOfPrefix(std::wstring(b));
    return ua && ub && core::SameTextIgnoringCase(*ua, *ub);
  }

  static std::wstring Attribute(const XmlNode* element, const std::wstring& name) {
    const XmlAttribute* a = element ? element->FindAttribute(name) : nullptr;
    return a ? a->value : L"";
  }

  static bool IsElement(const XmlNode& node, std::wstring_view local_name, std::wstring_view namespace_uri) {
    return node.IsElement() && LocalPartOf(node.Name()) == local_name && node.NamespaceURI() == namespace_uri;
  }

  static std::vector<const XmlNode*> Children(const XmlNode* parent, std::wstring_view local_name,
                                              std::wstring_view namespace_uri) {
    std::vector<const XmlNode*> found;
    if (!parent) return found;
    for (const auto& child : parent->Children())
      if (IsElement(*child, local_name, namespace_uri)) found.push_back(child.get());
    return found;
  }

  // Runs on every call of a poll: no copies of names.
  const XmlNode* Named(const XmlNode* parent, std::wstring_view local_name, const std::wstring& wanted,
                       int index = 0) const {
    if (!parent) return nullptr;
    static const std::wstring kName = L"name";
    for (const auto& child : parent->Children()) {
      if (!IsElement(*child, local_name, kWSDLNamespace)) continue;
      const XmlAttribute* name = child->FindAttribute(kName);
      if (NamesMatch(name ? std::wstring_view(name->value) : std::wstring_view(), wanted) && index-- == 0)
        return child.get();
    }
    return nullptr;
  }

  // The SOAP child of the given version; version 0 tries 1.2, then 1.1.
  static const XmlNode* SoapChild(const XmlNode* parent, const std::wstring& local_name, int& version) {
    for (int v : {2, 1}) {
      if (version != 0 && version != v) continue;
      auto found = Children(parent, local_name, v == 2 ? kWSDLSoap12Namespace : kWSDLSoap11Namespace);
      if (!found.empty()) {
        version = v;
        return found.front();
      }
    }
    return nullptr;
  }

  const XmlNode* Port(const std::wstring& service, const std::wstring& port) const {
    return Named(Named(root, L"service", service), L"port", port);
  }

  const XmlNode* BindingOperation(const std::wstring& binding, const std::wstring& operation, int overload) const {
    return Named(Named(root, L"binding", binding), L"operation", operation, overload);
  }

  bool BindingHasHttpVerb(const std::wstring& binding) const {
    for (const XmlNode* b : Children(Named(root, L"binding", binding), L"binding", kWSDLHttpNamespace))
      if (b->FindAttribute(L"verb")) return true;
    return false;
  }
};

// The documents reachable through imports, each fetched at most once, and
// at most kMaxImportedDocuments fetches in all, failed ones included: a
// hostile server could otherwise name endless imports that fail or hang. A
// document that came over the network may only import from the network, so
// that no server can make the service read its local files or reach a share,
// even through a document that a local one imported.
class TWSDLItems::ImportTable {
 public:
  ImportTable(TStreamLoader& loader, XmlTreeBudget& budget) : loader_(loader), budget_(budget) {}

  std::vector<XmlDocument> Follow(const XmlNode& root, bool from_network) {
    Visit(root, from_network, {});
    return std::move(documents_);
  }

 private:
  void Visit(const XmlNode& root, bool from_network, std::vector<std::wstring> chain) {
    for (const XmlNode* import : Document::Children(&root, L"import", kWSDLNamespace)) {
      const std::wstring location = Document::Attribute(import, L"location");
      if (location.empty() || Known(location) || attempts_.size() >= kMaxImportedDocuments) continue;
      const bool network = IsHttpLocation(location);
      if (from_network && !network) continue;
      if (std::find(chain.begin(), chain.end(), location) != chain.end()) continue;
      attempts_.push_back(location);
      XmlDocument doc;
      try {
        doc = ParseXmlDocument(loader_.Load(location), budget_);
      } catch (const core::EAbort&) {
        throw;
      } catch (const std::exception&) {
        continue;  // an import that cannot be read adds nothing
      }
      if (!Document{doc.root.get()}.IsWSDL()) continue;
      const XmlNode& imported = *doc.root;
      documents_.push_back(std::move(doc));
      chain.push_back(location);
      Visit(imported, network, chain);
      chain.pop_back();
    }
  }
  bool Known(const std::wstring& location) const {
    return std::find(attempts_.begin(), attempts_.end(), location) != attempts_.end();
  }

  TStreamLoader& loader_;
  XmlTreeBudget& budget_;
  std::vector<std::wstring> attempts_;
  std::vector<XmlDocument> documents_;
};

const std::vector<XmlDocument>& TWSDLItems::Imports() {
  if (!imports_followed_) {
    imports_followed_ = true;
    imports_ = ImportTable(loader_, tree_budget_).Follow(*document_.root, IsHttpLocation(core::Trim(Location)));
  }
  return imports_;
}

template <class Query>
auto TWSDLItems::Search(Query query) -> decltype(query(std::declval<const Document&>())) {
  using Found = decltype(query(std::declval<const Document&>()));
  if (!Active()) return Found{};
  Found found = query(Document{document_.root.get()});
  if (!found.empty()) return found;
  for (const XmlDocument& doc : Imports()) {
    found = query(Document{doc.root.get()});
    if (!found.empty()) break;
  }
  return found;
}

void TWSDLItems::SetInactive() {
  document_ = {};
  imports_.clear();
  imports_followed_ = false;
  tree_budget_ = {};
}

void TWSDLItems::Load() {
  if (Active()) return;
  try {
    LoadFromBytes(loader_.Load(core::Trim(Location)));
  } catch (const core::EAbort&) {
    throw;  // a cancellation stays silent
  } catch (const std::exception& e) {
    SetInactive();
    throw Exception(core::Format(L"Unable to load WSDL File/Location: %s.  Error [%s]",
                                 {Location, core::ExceptionMessage(e)}));
  }
}

void TWSDLItems::LoadFromBytes(std::string_view bytes) {
  SetInactive();
  if (bytes.empty()) throw Exception(L"Empty document");
  XmlDocument doc = ParseXmlDocument(bytes, tree_budget_);
  if (!doc.root) throw Exception(L"Empty document");
  document_ = std::move(doc);
}

std::wstring TWSDLItems::GetBindingForServicePort(const std::wstring& service, const std::wstring& port) {
  return Search([&](const Document& d) { return Document::Attribute(d.Port(service, port), L"binding"); });
}

std::wstring TWSDLItems::GetSoapAddressForServicePort(const std::wstring& service, const std::wstring& port,
                                                      int& soap_version) {
  return Search([&](const Document& d) {
    int version = soap_version;
    const XmlNode* address = Document::SoapChild(d.Port(service, port), L"address", version);
    if (address) soap_version = version;
    return Document::Attribute(address, L"location");
  });
}

std::wstring TWSDLItems::GetSoapAction(const std::wstring& binding, const std::wstring& operation,
                                       int& soap_version, int overload_index) {
  return Search([&](const Document& d) {
    int version = soap_version;
    const XmlNode* op = Document::SoapChild(d.BindingOperation(binding, operation, overload_index), L"operation",
                                            version);
    if (op) soap_version = version;
    return Document::Attribute(op, L"soapAction");
  });
}

std::wstring TWSDLItems::GetSoapBodyAttribute(const std::wstring& binding, const std::wstring& operation,
                                              int& soap_version, int overload_index, const std::wstring& attribute,
                                              bool input) {
  return Search([&](const Document& d) {
    const XmlNode* op = d.BindingOperation(binding, operation, overload_index);
    auto messages = Document::Children(op, input ? L"input" : L"output", kWSDLNamespace);
    int version = soap_version;
    const XmlNode* body = Document::SoapChild(messages.empty() ? nullptr : messages.front(), L"body", version);
    if (body) soap_version = version;
    return Document::Attribute(body, attribute);
  });
}

std::vector<std::wstring> TWSDLItems::GetServices() {
  return Search([](const Document& d) {
    std::vector<std::wstring> names;
    for (const XmlNode* s : Document::Children(d.root, L"service", kWSDLNamespace))
      names.push_back(Document::Attribute(s, L"name"));
    return names;
  });
}

std::vector<std::wstring> TWSDLItems::GetPortsForService(const std::wstring& service) {
  return Search([&](const Document& d) {
    std::vector<std::wstring> names;
    for (const XmlNode* p : Document::Children(d.Named(d.root, L"service", service), L"port", kWSDLNamespace))
      if (!d.BindingHasHttpVerb(Document::Attribute(p, L"binding"))) names.push_back(Document::Attribute(p, L"name"));
    return names;
  });
}

TWSDLView::TWSDLView() = default;
TWSDLView::~TWSDLView() = default;

void TWSDLView::Activate() {
  if (!WSDL || WSDL->Active()) return;
  loader_.UserName = UserName;
  loader_.Password = Password;
  loader_.Proxy = Proxy;
  WSDL->Load();
}

std::wstring TWSDLView::GetService() {
  if (service_.empty() && WSDL && WSDL->Active()) {
    auto services = WSDL->GetServices();
    if (services.size() == 1) service_ = services.front();
  }
  return service_;
}

std::wstring TWSDLView::GetPort() {
  if (port_.empty() && WSDL && WSDL->Active()) {
    const std::wstring service = GetService();
    if (!service.empty()) {
      auto ports = WSDL->GetPortsForService(service);
      if (ports.size() == 1) port_ = ports.front();
    }
  }
  return port_;
}

void TWSDLView::SetOperation(const std::wstring& operation, const TIntfMetaData& intf) {
  Operation = operation;
  IntfMD = &intf;
}

std::wstring TWSDLView::RequestBodyNamespace(const std::wstring& operation_ext_name) {
  if (!WSDL) return L"";
  Activate();
  const std::wstring binding = WSDL->GetBindingForServicePort(GetService(), GetPort());
  if (binding.empty()) return L"";
  const bool soap12 =
      IntfMD && InvRegistry().GetIntfInvokeOptions(IntfMD->Info).Has(TIntfInvokeOption::ioSOAP12);
  int version = soap12 ? 2 : 1;
  return WSDL->GetSoapBodyAttribute(binding, operation_ext_name, version, 0, L"namespace", true);
}

}  // namespace soap
