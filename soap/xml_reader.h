#pragma once
// Reads bytes into our tree through the platform's parser, safely: a size
// cap before parsing, no document types, limits on depth, nodes and the
// tree's size.
#include <cstddef>
#include <string_view>

#include "soap/xml_tree.h"

namespace soap {

inline constexpr size_t kMaxXmlDocumentBytes = 8u * 1024u * 1024u;
inline constexpr unsigned kMaxXmlElementDepth = 128;
// Nodes of one document: elements, attributes and runs of text each count.
inline constexpr size_t kMaxXmlNodes = 100000;
// What a parsed tree may hold, estimated as the tree's structures plus its
// text at two bytes a character, for one document and for all documents
// read together (a WSDL document with its imports). Keeps the service's
// memory bounded whatever the server sends.
inline constexpr size_t kMaxXmlTreeBytes = 16u * 1024u * 1024u;

// The tree bytes left to documents read together.
struct XmlTreeBudget {
  size_t bytes_left = kMaxXmlTreeBytes;
};

// Whitespace-only text is dropped; CDATA, comments and instructions stay.
// Raises EDOMParseError for bytes that are not well-formed (or too large),
// DOMException when the platform has no parser.
XmlDocument ParseXmlDocument(std::string_view bytes);
// Charges the tree to `budget`; a tree over what is left fails like a
// malformed document, and the budget is charged only for a success.
XmlDocument ParseXmlDocument(std::string_view bytes, XmlTreeBudget& budget);

}  // namespace soap
