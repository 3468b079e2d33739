#pragma once
// The HTTP client: a connection to one host, and on it one request at a time,
// sent whole or in pieces, whose answer is read piece by piece. Failures are
// core::Status values carrying WinHTTP's error numbers (both backends use
// them) or a neutral kind. Every exchange is bounded in time, and abort()
// ends it from any thread.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/status.h"

namespace platform {

// The error numbers that both backends report (WinHTTP's own).
namespace http_error {
inline constexpr uint32_t kOutOfHandles = 12001;
inline constexpr uint32_t kTimeout = 12002;
inline constexpr uint32_t kInternal = 12004;
inline constexpr uint32_t kInvalidUrl = 12005;
inline constexpr uint32_t kUnrecognizedScheme = 12006;
inline constexpr uint32_t kNameNotResolved = 12007;
inline constexpr uint32_t kOperationCancelled = 12017;
inline constexpr uint32_t kCannotConnect = 12029;
inline constexpr uint32_t kConnectionError = 12030;
inline constexpr uint32_t kResendRequest = 12032;
inline constexpr uint32_t kClientCertificateNeeded = 12044;
inline constexpr uint32_t kUnknownCertificateAuthority = 12045;
inline constexpr uint32_t kHeaderNotFound = 12150;
inline constexpr uint32_t kInvalidServerResponse = 12152;
inline constexpr uint32_t kSecureFailure = 12175;
}  // namespace http_error

// The fixed English text of an HTTP error number, for backends without one.
std::wstring http_error_fallback_text(uint32_t code);

struct HttpUrl {
  bool secure = false;  // https
  std::wstring host;
  uint16_t port = 0;
  std::wstring path;  // with the query, "/" when the URL has none
};

// Time limits of one exchange in milliseconds; each must be greater than 0.
struct HttpLimits {
  uint32_t resolve_ms = 5000;
  uint32_t connect_ms = 5000;
  uint32_t send_ms = 10000;
  uint32_t receive_ms = 10000;
  // From opening the request to the last byte of the answer, whatever the
  // server's pace.
  uint32_t exchange_ms = 15000;
};

struct HttpRequestOptions {
  std::wstring verb;         // "POST" or "GET"
  std::wstring path;
  bool accept_any = false;   // Accept: */*
  bool keep_alive = true;
  bool secure = false;
  bool ignore_certificate_errors = false;
  HttpLimits limits;
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
  // fail with `why` (Cancelled or DeadlinePassed).
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
