#include "platform/http.h"

namespace platform {

// WinHTTP's own wording, so both backends say the same.
std::wstring http_error_fallback_text(uint32_t code) {
  switch (code) {
    case http_error::kOutOfHandles: return L"No more handles could be generated at this time";
    case http_error::kTimeout: return L"The operation timed out";
    case http_error::kInternal: return L"An internal error has occurred";
    case http_error::kInvalidUrl: return L"The URL is invalid";
    case http_error::kUnrecognizedScheme: return L"The URL specified a scheme other than \"http:\" or \"https:\"";
    case http_error::kNameNotResolved: return L"The server name or address could not be resolved";
    case http_error::kOperationCancelled: return L"The operation was canceled";
    case http_error::kCannotConnect: return L"A connection with the server could not be established";
    case http_error::kConnectionError: return L"The connection with the server was terminated abnormally";
    case http_error::kResendRequest: return L"The request must be resent";
    case http_error::kClientCertificateNeeded: return L"The server requires a client certificate";
    case http_error::kUnknownCertificateAuthority:
      return L"The certificate authority is invalid or incorrect";
    case http_error::kHeaderNotFound: return L"The requested header could not be located";
    case http_error::kInvalidServerResponse: return L"The server response could not be parsed";
    case http_error::kSecureFailure: return L"A security error occurred";
    default: return L"HTTP error " + std::to_wstring(code);
  }
}

}  // namespace platform
