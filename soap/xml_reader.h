#pragma once
// Reads bytes into our tree through the platform's parser, safely: a size
// cap before parsing, no document types, a depth limit.
#include <cstddef>
#include <string_view>

#include "soap/xml_tree.h"

namespace soap {

inline constexpr size_t kMaxXmlDocumentBytes = 8u * 1024u * 1024u;
inline constexpr unsigned kMaxXmlElementDepth = 128;

// Whitespace-only text is dropped; CDATA, comments and instructions stay.
// Raises EDOMParseError for bytes that are not well-formed (or too large),
// DOMException when the platform has no parser.
XmlDocument ParseXmlDocument(std::string_view bytes);

}  // namespace soap
