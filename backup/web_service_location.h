#pragma once
#include <string>

namespace backup {

// The host this build was made with.
std::wstring BuiltInServerHost();

// The optional "ServidorBackup" under the settings key, trimmed; empty when
// it is not set.
std::wstring ServerHostSetting();

// The host of the central web service: the optional "ServidorBackup" under
// the settings key, or the one this build was made with.
std::wstring CentralServerHost();

// The WSDL document of the central web service on `host`; the port and the
// path are fixed.
std::wstring WSDLLocation(const std::wstring& host);

}  // namespace backup
