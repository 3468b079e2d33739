#include "soap/xml_reader.h"

#include <algorithm>
#include <cctype>

#include "core/format.h"
#include "core/utf.h"
#include "platform/host.h"
#include "platform/xml_parser.h"
#include "soap/soap_exceptions.h"

namespace soap {
namespace {

bool IsWhitespaceOnly(const std::wstring& text) { return text.find_first_not_of(L" \t\r\n") == std::wstring::npos; }

// Raised by the builder through the parser when the tree outgrows its budget.
struct TreeTooLarge {};

// Characters as the service holds them on Windows, whatever the host.
constexpr size_t kBytesPerCharacter = 2;

class TreeBuilder : public platform::XmlEventSink {
 public:
  TreeBuilder(XmlDocument& doc, size_t budget) : doc_(doc), budget_(budget) {}
  size_t Charged() const { return charged_; }

  void start_element(const std::wstring& name, const std::wstring& namespace_uri,
                     const std::vector<platform::XmlAttributeEvent>& attributes) override {
    FlushText();
    size_t cost = sizeof(XmlNode) + (name.size() + namespace_uri.size()) * kBytesPerCharacter;
    for (const auto& a : attributes)
      cost += sizeof(XmlAttribute) + (a.name.size() + a.namespace_uri.size() + a.value.size()) * kBytesPerCharacter;
    Charge(cost);
    auto element = std::make_unique<XmlNode>(XmlNodeKind::Element, name, namespace_uri, L"");
    for (const auto& a : attributes) element->SetAttribute(a.name, a.namespace_uri, a.value);
    if (current_) {
      current_ = &current_->Append(std::move(element));
    } else if (!doc_.root) {
      doc_.root = std::move(element);
      current_ = doc_.root.get();
    }
  }
  void end_element() override {
    FlushText();
    if (current_) current_ = current_->Parent();
  }
  // Charged before it is copied, so a text too large for the tree costs no copy.
  void text(std::wstring value) override {
    if (charged_ + sizeof(XmlNode) + (pending_text_.size() + value.size()) * kBytesPerCharacter > budget_)
      throw TreeTooLarge{};
    if (pending_text_.empty()) pending_text_ = std::move(value);
    else pending_text_ += value;
  }
  void cdata(const std::wstring& value) override { AddLeaf(XmlNodeKind::CData, L"", value); }
  void comment(const std::wstring& value) override { AddLeaf(XmlNodeKind::Comment, L"", value); }
  void processing_instruction(const std::wstring& target, const std::wstring& data) override {
    AddLeaf(XmlNodeKind::ProcessingInstruction, target, data);
  }
  void Finish() { FlushText(); }

 private:
  // Text may arrive in pieces; one text node per run between other nodes.
  void FlushText() {
    if (current_ && !pending_text_.empty() && !IsWhitespaceOnly(pending_text_)) {
      Charge(sizeof(XmlNode) + pending_text_.size() * kBytesPerCharacter);
      current_->Append(std::make_unique<XmlNode>(XmlNodeKind::Text, L"", L"", std::move(pending_text_)));
    }
    pending_text_.clear();
  }
  void AddLeaf(XmlNodeKind kind, const std::wstring& name, const std::wstring& value) {
    FlushText();
    if (!current_) return;
    Charge(sizeof(XmlNode) + (name.size() + value.size()) * kBytesPerCharacter);
    current_->Append(std::make_unique<XmlNode>(kind, name, L"", value));
  }
  void Charge(size_t cost) {
    charged_ += cost;
    if (charged_ > budget_) throw TreeTooLarge{};
  }

  XmlDocument& doc_;
  const size_t budget_;
  size_t charged_ = 0;
  XmlNode* current_ = nullptr;
  std::wstring pending_text_;
};

// The encoding named by the declaration, in lower case; empty without one.
std::string DeclaredEncoding(std::string_view bytes) {
  if (bytes.rfind("<?xml", 0) != 0) return "";
  const std::string_view declaration = bytes.substr(0, bytes.find("?>"));
  size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return "";
  at = declaration.find_first_of("\"'", at);
  if (at == std::string_view::npos) return "";
  const size_t end = declaration.find(declaration[at], at + 1);
  if (end == std::string_view::npos) return "";
  std::string name(declaration.substr(at + 1, end - at - 1));
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

bool IsSingleByteLatin(const std::string& encoding) {
  return encoding == "iso-8859-1" || encoding == "latin1" || encoding == "iso_8859-1" || encoding == "us-ascii";
}

// The text in the document's own encoding: a byte-order mark, else the
// encoding its declaration names (UTF-8, UTF-16 or Latin-1), else UTF-8.
std::wstring DecodeForLines(std::string_view bytes) {
  auto b = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  using core::ByteOrder;
  if (bytes.size() >= 2 && b(0) == 0xFF && b(1) == 0xFE) return core::FromUtf16Bytes(bytes.substr(2));
  if (bytes.size() >= 2 && b(0) == 0xFE && b(1) == 0xFF)
    return core::FromUtf16Bytes(bytes.substr(2), ByteOrder::BigEndian);
  if (bytes.size() >= 2 && b(0) == '<' && b(1) == 0) return core::FromUtf16Bytes(bytes);
  if (bytes.size() >= 2 && b(0) == 0 && b(1) == '<') return core::FromUtf16Bytes(bytes, ByteOrder::BigEndian);
  if (bytes.size() >= 3 && b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF) bytes.remove_prefix(3);
  if (IsSingleByteLatin(DeclaredEncoding(bytes))) {
    std::wstring text;
    text.reserve(bytes.size());
    for (unsigned char c : bytes) text += static_cast<wchar_t>(c);
    return text;
  }
  return core::FromUtf8(std::string(bytes));
}

bool IsUtf16(std::string_view bytes) {
  auto b = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  return bytes.size() >= 2 && ((b(0) == 0xFF && b(1) == 0xFE) || (b(0) == 0xFE && b(1) == 0xFF) ||
                               (b(0) == '<' && b(1) == 0) || (b(0) == 0 && b(1) == '<'));
}

// The bytes up to a little past the start of the 1-based line, so that a
// message about a large document does not decode all of it. UTF-16 is
// decoded whole (a 0x0A byte may be half of another character there).
std::string_view UpToLine(std::string_view bytes, int line) {
  if (IsUtf16(bytes)) return bytes;
  size_t start = 0;
  for (int i = 1; i < line; ++i) {
    start = bytes.find('\n', start);
    if (start == std::string_view::npos) return bytes;
    ++start;
  }
  size_t end = std::min(bytes.size(), start + 256);  // 40 characters of up to 4 bytes, and more
  while (end < bytes.size() && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) ++end;
  return bytes.substr(0, end);
}

// The first 40 characters of the 1-based line of the source text.
std::wstring SourceLine(std::string_view bytes, int line) {
  if (line < 1) return L"";
  std::wstring text = DecodeForLines(UpToLine(bytes, line));
  size_t start = 0;
  for (int i = 1; i < line; ++i) {
    start = text.find(L'\n', start);
    if (start == std::wstring::npos) return L"";
    ++start;
  }
  size_t end = text.find(L'\n', start);
  std::wstring result = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
  if (!result.empty() && result.back() == L'\r') result.pop_back();
  return result.substr(0, 40);
}

[[noreturn]] void RaiseNoParser() { throw DOMException(L"Microsoft MSXML is not installed"); }

[[noreturn]] void RaiseParseError(const std::wstring& reason, int line, std::string_view bytes) {
  throw EDOMParseError(core::Format(L"%s%s%s: %d%s%s",
                                    {reason, std::wstring(L"\r\n"), std::wstring(L"Line"), int64_t{line},
                                     std::wstring(L"\r\n"), SourceLine(bytes, line)}));
}

}  // namespace

XmlDocument ParseXmlDocument(std::string_view bytes) {
  XmlTreeBudget budget;
  return ParseXmlDocument(bytes, budget);
}

XmlDocument ParseXmlDocument(std::string_view bytes, XmlTreeBudget& budget) {
  platform::XmlParser* parser = platform::host().xml_parser;
  if (!parser) RaiseNoParser();
  // The same words from both parsers, which would each say it their own way.
  if (bytes.empty()) RaiseParseError(L"Document is empty", 1, bytes);
  if (bytes.size() > kMaxXmlDocumentBytes)
    RaiseParseError(core::Format(L"The document is larger than %d bytes", {int64_t{kMaxXmlDocumentBytes}}), 0,
                    bytes);
  XmlDocument doc;
  TreeBuilder builder(doc, std::min(budget.bytes_left, kMaxXmlTreeBytes));
  const platform::XmlParseLimits limits(kMaxXmlElementDepth, kMaxXmlNodes);
  try {
    const platform::XmlParseStatus parsed = parser->parse(bytes, limits, builder);
    if (!parsed.ok()) {
      const platform::XmlParseFailure& failure = parsed.failure();
      if (failure.kind == platform::XmlParseFailure::Kind::unavailable) RaiseNoParser();
      RaiseParseError(failure.reason, failure.line, bytes);
    }
    builder.Finish();
  } catch (const TreeTooLarge&) {
    doc = {};
    RaiseParseError(L"The document is too large to hold", 0, bytes);
  }
  budget.bytes_left -= std::min(budget.bytes_left, builder.Charged());
  return doc;
}

}  // namespace soap
