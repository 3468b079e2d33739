// platform/xml_parser.h on libxml2.
#include "platform/posix/xml_parser.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>

#include <climits>
#include <memory>
#include <mutex>

#include "core/format.h"
#include "core/text.h"
#include "core/utf.h"

namespace platform::posix {
namespace {

struct ParseState {
  unsigned depth = 0;
  unsigned max_depth = 0;
  size_t nodes = 0;
  size_t max_nodes = SIZE_MAX;
  bool in_text = false;  // a run of text counts once, however many pieces
  std::wstring refusal;  // set when we stopped the parser ourselves
  int refusal_line = 0;
  // The parser goes on after a fault and reports what follows from it; the
  // first error is the one that names the fault, as XmlLite's only one does.
  std::wstring first_error;
  int first_error_line = 0;
};

ParseState& StateOf(void* ctx) { return *static_cast<ParseState*>(static_cast<xmlParserCtxtPtr>(ctx)->_private); }

void Refuse(void* ctx, std::wstring reason) {
  auto ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  ParseState& state = StateOf(ctx);
  if (state.refusal.empty()) {
    state.refusal = std::move(reason);
    state.refusal_line = xmlSAX2GetLineNumber(ctx);
  }
  xmlStopParser(ctxt);
}

// Called where a DOCTYPE begins, before its internal subset is read.
void OnDocumentType(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
  Refuse(ctx, L"A document type declaration is not allowed (DTD is prohibited)");
}

xmlEntityPtr OnGetEntity(void*, const xmlChar* name) { return xmlGetPredefinedEntity(name); }

// Counted before libxml2 builds the node, so its own tree stays as small as ours.
bool CountNodes(void* ctx, size_t count, bool text) {
  ParseState& state = StateOf(ctx);
  if (text && state.in_text) return true;
  state.in_text = text;
  state.nodes += count;
  if (state.nodes <= state.max_nodes) return true;
  Refuse(ctx, L"The document has too many nodes");
  return false;
}

void OnStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                    int nb_namespaces, const xmlChar** namespaces, int nb_attributes, int nb_defaulted,
                    const xmlChar** attributes) {
  ParseState& state = StateOf(ctx);
  if (++state.depth > state.max_depth) {
    Refuse(ctx, core::Format(L"The document is nested deeper than %d elements", {int64_t{state.max_depth}}));
    return;
  }
  if (!CountNodes(ctx, 1 + static_cast<size_t>(nb_namespaces) + static_cast<size_t>(nb_attributes), false)) return;
  xmlSAX2StartElementNs(ctx, localname, prefix, uri, nb_namespaces, namespaces, nb_attributes, nb_defaulted,
                        attributes);
}

void OnEndElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri) {
  --StateOf(ctx).depth;
  StateOf(ctx).in_text = false;
  xmlSAX2EndElementNs(ctx, localname, prefix, uri);
}

void OnCharacters(void* ctx, const xmlChar* text, int length) {
  if (CountNodes(ctx, 1, true)) xmlSAX2Characters(ctx, text, length);
}

void OnCData(void* ctx, const xmlChar* text, int length) {
  if (CountNodes(ctx, 1, false)) xmlSAX2CDataBlock(ctx, text, length);
}

void OnComment(void* ctx, const xmlChar* text) {
  if (CountNodes(ctx, 1, false)) xmlSAX2Comment(ctx, text);
}

void OnInstruction(void* ctx, const xmlChar* target, const xmlChar* data) {
  if (CountNodes(ctx, 1, false)) xmlSAX2ProcessingInstruction(ctx, target, data);
}

std::wstring ErrorText(const xmlError& error);

void RecordFirstError(void* ctx, xmlErrorPtr error) {
  if (!error || error->level < XML_ERR_ERROR) return;
  ParseState& state = StateOf(ctx);
  if (!state.first_error.empty()) return;
  state.first_error = ErrorText(*error);
  state.first_error_line = error->line;
}

xmlParserInputPtr RefuseExternalEntity(const char*, const char*, xmlParserCtxtPtr ctxt) {
  if (ctxt) xmlStopParser(ctxt);
  return nullptr;
}

std::wstring Text(const xmlChar* s) { return s ? core::FromUtf8(reinterpret_cast<const char*>(s)) : L""; }

std::wstring QualifiedName(const xmlChar* prefix, const xmlChar* name) {
  return prefix ? Text(prefix) + L":" + Text(name) : Text(name);
}

struct XmlFree {
  void operator()(xmlChar* p) const { xmlFree(p); }
};

void Emit(xmlDocPtr doc, xmlNodePtr node, XmlEventSink& sink);

void EmitElement(xmlDocPtr doc, xmlNodePtr node, XmlEventSink& sink) {
  std::vector<XmlAttributeEvent> attributes;
  for (xmlNsPtr ns = node->nsDef; ns; ns = ns->next)
    attributes.push_back({ns->prefix ? L"xmlns:" + Text(ns->prefix) : L"xmlns", kXmlnsNamespace, Text(ns->href)});
  for (xmlAttrPtr a = node->properties; a; a = a->next) {
    std::unique_ptr<xmlChar, XmlFree> value(xmlNodeListGetString(doc, a->children, 1));
    attributes.push_back({QualifiedName(a->ns ? a->ns->prefix : nullptr, a->name), a->ns ? Text(a->ns->href) : L"",
                          Text(value.get())});
  }
  sink.start_element(QualifiedName(node->ns ? node->ns->prefix : nullptr, node->name),
                     node->ns ? Text(node->ns->href) : L"", attributes);
  for (xmlNodePtr child = node->children; child; child = child->next) Emit(doc, child, sink);
  sink.end_element();
}

void Emit(xmlDocPtr doc, xmlNodePtr node, XmlEventSink& sink) {
  switch (node->type) {
    case XML_ELEMENT_NODE: EmitElement(doc, node, sink); break;
    case XML_TEXT_NODE: sink.text(Text(node->content)); break;
    case XML_CDATA_SECTION_NODE: sink.cdata(Text(node->content)); break;
    case XML_COMMENT_NODE: sink.comment(Text(node->content)); break;
    case XML_PI_NODE: sink.processing_instruction(Text(node->name), Text(node->content)); break;
    default: break;  // no entity references exist without a document type
  }
}

std::wstring ErrorText(const xmlError& error) {
  if (!error.message) return L"The document is not well-formed";
  const std::wstring text = core::WithoutTrailingLineBreaks(Text(reinterpret_cast<const xmlChar*>(error.message)));
  return text.empty() ? L"The document is not well-formed" : text;
}

}  // namespace

XmlParseStatus Libxml2Parser::parse(std::string_view bytes, const XmlParseLimits& limits, XmlEventSink& sink) {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    xmlSetExternalEntityLoader(RefuseExternalEntity);
  });
  if (bytes.size() > INT_MAX) return XmlParseFailure{XmlParseFailure::Kind::syntax, L"Document is too large", 0};

  std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> ctxt(
      xmlCreateMemoryParserCtxt(bytes.data(), static_cast<int>(bytes.size())), xmlFreeParserCtxt);
  if (!ctxt) return XmlParseFailure{XmlParseFailure::Kind::unavailable, L"", 0};
  // Never NOENT, DTDLOAD or HUGE: entities stay unexpanded, nothing is loaded.
  xmlCtxtUseOptions(ctxt.get(), XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR);
  ParseState state;
  state.max_depth = limits.max_element_depth;
  state.max_nodes = limits.max_nodes;
  ctxt->_private = &state;
  xmlSAXHandlerPtr sax = ctxt->sax;
  sax->internalSubset = OnDocumentType;
  sax->externalSubset = OnDocumentType;
  sax->getEntity = OnGetEntity;
  sax->getParameterEntity = OnGetEntity;
  sax->startElementNs = OnStartElement;
  sax->endElementNs = OnEndElement;
  sax->characters = OnCharacters;
  sax->ignorableWhitespace = OnCharacters;
  sax->cdataBlock = OnCData;
  sax->comment = OnComment;
  sax->processingInstruction = OnInstruction;
  sax->serror = RecordFirstError;
  sax->warning = nullptr;

  xmlParseDocument(ctxt.get());
  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(ctxt->myDoc, xmlFreeDoc);
  ctxt->myDoc = nullptr;
  if (!state.refusal.empty())
    return XmlParseFailure{XmlParseFailure::Kind::syntax, state.refusal, state.refusal_line};
  // An undeclared prefix is only a namespace error to libxml2; it fails the
  // document here, as it does for XmlLite.
  if (!ctxt->wellFormed || !ctxt->nsWellFormed || !doc) {
    if (state.first_error.empty()) return XmlParseFailure{XmlParseFailure::Kind::syntax, ErrorText({}), 0};
    return XmlParseFailure{XmlParseFailure::Kind::syntax, state.first_error, state.first_error_line};
  }
  for (xmlNodePtr node = doc->children; node; node = node->next)
    if (node->type == XML_ELEMENT_NODE) EmitElement(doc.get(), node, sink);
  return XmlParseStatus::Ok();
}

}  // namespace platform::posix
