#pragma once
#include "platform/xml_parser.h"

namespace platform::win32 {

// XmlLite, loaded from xmllite.dll at first use, with document types
// prohibited and the element depth capped.
class XmlLiteParser : public XmlParser {
 public:
  XmlParseStatus parse(std::string_view bytes, const XmlParseLimits& limits, XmlEventSink& sink) override;
};

}  // namespace platform::win32
