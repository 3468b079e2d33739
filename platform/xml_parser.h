#pragma once
// Reads XML bytes and reports what it finds as events; the web client builds
// its own tree from them, so both targets yield the same tree. Backends must
// refuse document types (never expand entities, never fetch anything) and
// stop at the depth and node limits.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

inline constexpr wchar_t kXmlnsNamespace[] = L"http://www.w3.org/2000/xmlns/";

struct XmlAttributeEvent {
  std::wstring name;       // qualified, as written
  std::wstring namespace_uri;  // resolved; kXmlnsNamespace for declarations
  std::wstring value;      // references resolved
};

class XmlEventSink {
 public:
  virtual ~XmlEventSink() = default;
  // Declarations (xmlns, xmlns:p) first, then the other attributes, each
  // group in document order.
  virtual void start_element(const std::wstring& name, const std::wstring& namespace_uri,
                             const std::vector<XmlAttributeEvent>& attributes) = 0;
  virtual void end_element() = 0;
  // May arrive in pieces; taken by value so that a large piece is moved, not copied.
  virtual void text(std::wstring value) = 0;
  virtual void cdata(const std::wstring& value) = 0;
  virtual void comment(const std::wstring& value) = 0;
  virtual void processing_instruction(const std::wstring& target, const std::wstring& data) = 0;
};

struct XmlParseFailure {
  enum class Kind { syntax, unavailable };
  Kind kind = Kind::syntax;
  std::wstring reason;  // the parser's own words
  int line = 0;         // 1-based; 0 when unknown
};

// How a parse ended, read like core::Status: ok(), or the failure, which
// is data (the parser's words and line), not a system code.
class [[nodiscard]] XmlParseStatus {
 public:
  XmlParseStatus() = default;
  static XmlParseStatus Ok() { return XmlParseStatus(); }
  XmlParseStatus(XmlParseFailure failure) : failed_(true), failure_(std::move(failure)) {}

  bool ok() const { return !failed_; }
  const XmlParseFailure& failure() const { return failure_; }

 private:
  bool failed_ = false;
  XmlParseFailure failure_;
};

// The caller's limits; the backends keep no values of their own.
struct XmlParseLimits {
  XmlParseLimits(unsigned element_depth, size_t nodes) : max_element_depth(element_depth), max_nodes(nodes) {}
  unsigned max_element_depth;
  // Elements, attributes (declarations too) and runs of text, CDATA,
  // comments and instructions, each counted as one: a small document of
  // empty elements would otherwise cost far more memory than its size.
  size_t max_nodes;
};

class XmlParser {
 public:
  virtual ~XmlParser() = default;
  // Encoding from byte-order mark, else the declaration, else UTF-8.
  // On failure, events already sent stay sent. `bytes` is never empty: the
  // caller refuses an empty document itself, in words of its own.
  virtual XmlParseStatus parse(std::string_view bytes, const XmlParseLimits& limits, XmlEventSink& sink) = 0;
};

}  // namespace platform
