#include "platform/posix/backend.h"
#include "platform/posix/http.h"
#include "platform/posix/xml_parser.h"
#include "platform/sim/connectivity.h"

namespace platform::posix {

void install_web_area(Host& host) {
  static Libxml2Parser xml_parser;
  host.xml_parser = &xml_parser;
  static CurlHttp http;
  host.http = &http;
  static SimulatedConnectivity connectivity;
  host.connectivity = &connectivity;
}

}  // namespace platform::posix
