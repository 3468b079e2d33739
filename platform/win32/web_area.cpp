#include "platform/win32/backend.h"
#include "platform/win32/connectivity.h"
#include "platform/win32/http.h"
#include "platform/win32/xml_parser.h"

namespace platform::win32 {

void install_web_area(Host& host) {
  static XmlLiteParser xml_parser;
  host.xml_parser = &xml_parser;
  static NetworkListConnectivity connectivity;
  host.connectivity = &connectivity;
  static WinHttpClient http;
  host.http = &http;
}

}  // namespace platform::win32
