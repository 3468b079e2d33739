#pragma once
#include <string>

namespace backup {

// The host this build was made with.
std::wstring BuiltInServerHost();

// The optional "ServidorBackup" under the settings key, as read.
struct ServerHostSetting {
  std::wstring stored;   // the value as an administrator would recognise it; empty when not set
  std::wstring host;     // the host for the WSDL location; empty when the value is refused
  std::wstring failure;  // why it is refused, in the words the service logs
};

// Reads the setting; never raises. A value that is not set gives the
// built-in host.
ServerHostSetting ReadServerHostSetting();

// The host of the central web service, as the service starts with it;
// raises the refusal of a setting it cannot use.
std::wstring CentralServerHost();

// A host name or an address as a URL needs it (an IPv6 address in
// brackets); raises for anything else, a scheme, a port or a path among them.
std::wstring UrlHost(const std::wstring& text);

// The WSDL document of the central web service on `host`; the port and the
// path are fixed.
std::wstring WSDLLocation(const std::wstring& host);

}  // namespace backup
