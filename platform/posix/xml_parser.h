#pragma once
#include "platform/xml_parser.h"

namespace platform::posix {

// libxml2, configured so that no entity is ever expanded and nothing is
// ever fetched: a document type stops the parser where it begins.
class Libxml2Parser : public XmlParser {
 public:
  XmlParseStatus parse(std::string_view bytes, const XmlParseLimits& limits, XmlEventSink& sink) override;
};

}  // namespace platform::posix
