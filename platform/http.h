#pragma once
// The HTTP client: a connection to one host, and on it one request at a time,
// sent whole or in pieces, whose answer is read piece by piece. Failures are
// core::Status values carrying WinHTTP's error numbers (both backends use
// them) or a neutral kind. Every exchange ends by its deadline, and abort()
// ends it sooner from any thread.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/status.h"

namespace platform {

// The error numbers that both backends report (WinHTTP's own), each with
// WinHTTP's English wording, so that a backend without the system's text
// says the same. One table: no number can exist without its text.
#define TAV_HTTP_ERROR_MAP(X)                                                                              \
  X(kOutOfHandles, 12001, L"No more handles could be generated at this time")                              \
  X(kTimeout, 12002, L"The operation timed out")                                                           \
  X(kInternal, 12004, L"An internal error has occurred")                                                   \
  X(kInvalidUrl, 12005, L"The URL is invalid")                                                             \
  X(kUnrecognizedScheme, 12006, L"The URL specified a scheme other than \"http:\" or \"https:\"")           \
  X(kNameNotResolved, 12007, L"The server name or address could not be resolved")                          \
  X(kOperationCancelled, 12017, L"The operation was canceled")                                             \
  X(kCannotConnect, 12029, L"A connection with the server could not be established")                       \
  X(kConnectionError, 12030, L"The connection with the server was terminated abnormally")                  \
  X(kResendRequest, 12032, L"The request must be resent")                                                  \
  X(kClientCertificateNeeded, 12044, L"The server requires a client certificate")                          \
  X(kUnknownCertificateAuthority, 12045, L"The certificate authority is invalid or incorrect")             \
  X(kHeaderNotFound, 12150, L"The requested header could not be located")                                  \
  X(kInvalidServerResponse, 12152, L"The server response could not be parsed")                             \
  X(kSecureFailure, 12175, L"A security error occurred")

namespace http_error {
#define TAV_HTTP_ERROR_NUMBER(name, number, text) inline constexpr uint32_t name = number;
TAV_HTTP_ERROR_MAP(TAV_HTTP_ERROR_NUMBER)
#undef TAV_HTTP_ERROR_NUMBER
}  // namespace http_error

// The table's text of an error number; "HTTP error N" for any other.
std::wstring http_error_fallback_text(uint32_t code);

// How an exchange ended on purpose fails, whichever backend carries it: at
// its deadline (or a time-out) with the time-out's number, by abort() with
// the cancellation's.
core::Status http_exchange_ended(core::FailureKind why);

struct HttpUrl {
  bool secure = false;  // https
  std::wstring host;
  uint16_t port = 0;
  std::wstring path;  // with the query, "/" when the URL has none
};

// Time limits of each step of one exchange in milliseconds; each must be
// greater than 0.
struct HttpLimits {
  uint32_t resolve_ms = 5000;
  uint32_t connect_ms = 5000;
  uint32_t send_ms = 10000;
  uint32_t receive_ms = 10000;
};

struct HttpRequestOptions {
  std::wstring verb;         // "POST" or "GET"
  std::wstring path;
  bool accept_any = false;   // Accept: */*
  bool keep_alive = true;
  bool secure = false;
  bool ignore_certificate_errors = false;
  HttpLimits limits;
  // The whole exchange, from opening the request to the last byte of the
  // answer, ends this many milliseconds after the request is opened,
  // whatever the server's pace: its operations then fail as
  // http_exchange_ended(DeadlinePassed). The caller works it out; 0 ends it
  // at once. Real time, also in tests: the backend anchors it on opening.
  uint32_t exchange_ms = 0;
  // The backend may stop taking the answer's body once it holds more than
  // this many bytes; the caller sees at least one byte over the cap.
  size_t body_cap = SIZE_MAX;
};

class HttpRequest {
 public:
  virtual ~HttpRequest() = default;
  virtual core::Status add_header(const std::wstring& line) = 0;
  // Sends the request line, the header lines and the first piece of the
  // body; total_length announces the whole body.
  virtual core::Status send(std::string_view first_piece, uint64_t total_length) = 0;
  virtual core::Status write(std::string_view piece) = 0;
  // Ends the request and waits for the answer's status line and headers.
  virtual core::Status receive_response() = 0;
  virtual core::Result<uint32_t> status_code() = 0;
  virtual core::Result<std::wstring> status_text() = 0;
  // The value of a response header; kHeaderNotFound when absent.
  virtual core::Result<std::wstring> header(const std::wstring& name) = 0;
  // Up to `size` bytes of the body; 0 at its end.
  virtual core::Result<size_t> read(char* buffer, size_t size) = 0;
  // Thread-safe: ends the exchange now; its pending and later operations
  // fail as http_exchange_ended(why) (Cancelled or DeadlinePassed).
  virtual void abort(core::FailureKind why) = 0;
};

struct HttpConnectOptions {
  std::wstring agent;
  std::wstring proxy, proxy_bypass;  // empty proxy: the machine's settings
  std::wstring host;
  uint16_t port = 0;
  std::wstring user, password;
};

// An open session and connection to one host; requests on it reuse the
// connection where the server keeps it alive.
class HttpConnection {
 public:
  virtual ~HttpConnection() = default;
  virtual core::Result<std::unique_ptr<HttpRequest>> open_request(const HttpRequestOptions& options) = 0;
};

class Http {
 public:
  virtual ~Http() = default;
  // Splits an absolute URL; a scheme other than http/https is
  // kUnrecognizedScheme, anything unparsable kInvalidUrl.
  virtual core::Result<HttpUrl> crack_url(const std::wstring& url) = 0;
  virtual core::Result<std::unique_ptr<HttpConnection>> connect(const HttpConnectOptions& options) = 0;
  // The text of an error number, without trailing line breaks.
  virtual std::wstring error_text(uint32_t code) = 0;
};

}  // namespace platform
