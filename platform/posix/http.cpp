// platform/http.h on libcurl.
// HTTP through libcurl. A connection is one multi handle, whose connection
// cache carries keep-alive between requests; a request is collected and then
// performed in receive_response(), with the answer's body kept in memory up
// to the caller's cap.
#include "platform/posix/http.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <mutex>
#include <string>
#include <vector>

#include "core/text.h"
#include "core/utf.h"

namespace platform::posix {

namespace {

using core::FailureKind;
using core::Status;
namespace err = http_error;

std::string Narrow(const std::wstring& text) { return core::ToUtf8(text); }

// The response head taken at most: WinHTTP's documented default.
constexpr size_t kMaxHeadBytes = 64 * 1024;

Status FromCurl(CURLcode code) {
  switch (code) {
    case CURLE_OK: return Status::Ok();
    case CURLE_OPERATION_TIMEDOUT: return http_exchange_ended(FailureKind::DeadlinePassed);
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return Status::SystemError(err::kNameNotResolved);
    case CURLE_COULDNT_CONNECT: return Status::SystemError(err::kCannotConnect);
    case CURLE_PEER_FAILED_VERIFICATION:
      return Status::Failure(FailureKind::UnknownCertificateAuthority, err::kUnknownCertificateAuthority);
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CLIENTCERT:
      return Status::Failure(FailureKind::ClientCertificateNeeded, err::kClientCertificateNeeded);
    case CURLE_SSL_CONNECT_ERROR: return Status::SystemError(err::kSecureFailure);
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL: return Status::SystemError(err::kInvalidServerResponse);
    case CURLE_OUT_OF_MEMORY: return Status::SystemError(err::kOutOfHandles);
    default: return Status::SystemError(err::kConnectionError);
  }
}

class CurlRequest : public HttpRequest {
 public:
  CurlRequest(CURLM* multi, const HttpConnectOptions& connection, const HttpRequestOptions& options)
      : multi_(multi),
        easy_(curl_easy_init()),
        options_(options),
        deadline_(std::chrono::steady_clock::now() + std::chrono::milliseconds(options.exchange_ms)) {
    Configure(connection);
  }
  ~CurlRequest() override {
    curl_slist_free_all(headers_);
    if (easy_) curl_easy_cleanup(easy_);
  }

  bool valid() const { return easy_ != nullptr; }

  Status add_header(const std::wstring& line) override {
    std::string text = Narrow(line);
    // "Name:" alone would remove curl's own header; "Name;" sends it empty.
    if (!text.empty() && text.back() == ':') text.back() = ';';
    curl_slist* more = curl_slist_append(headers_, text.c_str());
    if (!more) return Status::SystemError(err::kOutOfHandles);
    headers_ = more;
    return Status::Ok();
  }

  // The body is collected and sent whole: curl announces its length itself.
  Status send(std::string_view first_piece, uint64_t) override {
    if (Status s = Aborted(); !s.ok()) return s;
    body_.assign(first_piece);
    return Status::Ok();
  }

  Status write(std::string_view piece) override {
    if (Status s = Aborted(); !s.ok()) return s;
    body_.append(piece);
    return Status::Ok();
  }

  Status receive_response() override {
    if (Status s = Aborted(); !s.ok()) return s;
    if (options_.verb == L"POST") {
      curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, body_.data());
      curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
    }
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
    outcome_ = Perform();
    if (!outcome_.ok()) return outcome_;
    received_ = true;
    return Status::Ok();
  }

  core::Result<uint32_t> status_code() override {
    if (!received_) return Status::SystemError(err::kHeaderNotFound);
    return status_;
  }

  core::Result<std::wstring> status_text() override {
    if (!received_) return Status::SystemError(err::kHeaderNotFound);
    return status_text_;
  }

  core::Result<std::wstring> header(const std::wstring& name) override {
    if (received_) {
      const std::string wanted = Narrow(name);
      for (const auto& [key, value] : response_headers_)
        if (core::SameTextAscii(core::FromUtf8(key), core::FromUtf8(wanted))) return core::FromUtf8(value);
    }
    return Status::SystemError(err::kHeaderNotFound);
  }

  core::Result<size_t> read(char* buffer, size_t size) override {
    if (Status s = Aborted(); !s.ok()) return s;
    size_t n = std::min(size, response_.size() - read_at_);
    std::copy_n(response_.data() + read_at_, n, buffer);
    read_at_ += n;
    return n;
  }

  void abort(FailureKind why) override {
    int expected = 0;
    abort_kind_.compare_exchange_strong(expected, static_cast<int>(why));
    curl_multi_wakeup(multi_);
  }

 private:
  void Configure(const HttpConnectOptions& connection) {
    if (!easy_) return;
    const std::string url = std::string(options_.secure ? "https://" : "http://") + Narrow(connection.host) + ":" +
                            std::to_string(connection.port) + Narrow(options_.path);
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, Narrow(connection.agent).c_str());
    if (!connection.proxy.empty()) {
      curl_easy_setopt(easy_, CURLOPT_PROXY, Narrow(connection.proxy).c_str());
      curl_easy_setopt(easy_, CURLOPT_NOPROXY, Narrow(connection.proxy_bypass).c_str());
    }
    if (!connection.user.empty()) {
      curl_easy_setopt(easy_, CURLOPT_USERNAME, Narrow(connection.user).c_str());
      curl_easy_setopt(easy_, CURLOPT_PASSWORD, Narrow(connection.password).c_str());
      curl_easy_setopt(easy_, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
    }
    if (options_.verb == L"GET") curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
    // The caller's header lines only: no Accept unless asked, no Expect.
    headers_ = curl_slist_append(headers_, options_.accept_any ? "Accept: */*" : "Accept:");
    headers_ = curl_slist_append(headers_, "Expect:");
    if (!options_.keep_alive) {
      headers_ = curl_slist_append(headers_, "Connection: close");
      curl_easy_setopt(easy_, CURLOPT_FORBID_REUSE, 1L);
    }
    if (options_.ignore_certificate_errors) {
      curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 0L);
      curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    const HttpLimits& limits = options_.limits;
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.resolve_ms + limits.connect_ms));
    // curl's own bound only backs up the deadline that Perform() keeps: a
    // second later, so that its rounding never ends an exchange early.
    const auto until_deadline =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
    curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(std::clamp<long long>(until_deadline.count() + 1000, 1, LONG_MAX)));
    // Silence longer than the send or receive limit ends the exchange.
    const long idle_s = static_cast<long>((std::max(limits.send_ms, limits.receive_ms) + 999) / 1000);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, idle_s);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlRequest::OnHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlRequest::OnBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
  }

  Status Aborted() const {
    int kind = abort_kind_.load();
    if (kind == 0) return Status::Ok();
    return http_exchange_ended(static_cast<FailureKind>(kind));
  }

  Status Perform() {
    curl_multi_add_handle(multi_, easy_);
    CURLcode result = CURLE_OK;
    for (bool done = false; !done;) {
      int running = 0;
      curl_multi_perform(multi_, &running);
      int queued = 0;
      while (CURLMsg* message = curl_multi_info_read(multi_, &queued))
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) {
          result = message->data.result;
          done = true;
        }
      if (done) break;
      auto now = std::chrono::steady_clock::now();
      if (now >= deadline_) abort(FailureKind::DeadlinePassed);
      if (Status s = Aborted(); !s.ok()) {
        curl_multi_remove_handle(multi_, easy_);
        return s;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - now).count();
      curl_multi_poll(multi_, nullptr, 0, static_cast<int>(std::clamp<long long>(left, 1, 1000)), nullptr);
    }
    curl_multi_remove_handle(multi_, easy_);
    if (result == CURLE_WRITE_ERROR && capped_) return Status::Ok();  // the caller refuses the size
    if (head_refused_) return Status::SystemError(err::kInvalidServerResponse);
    return FromCurl(result);
  }

  // A status line without a reason phrase, or a head above WinHTTP's
  // default cap, is refused as WinHTTP refuses it.
  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* request = static_cast<CurlRequest*>(self);
    request->head_bytes_ += size * count;
    if (request->head_bytes_ > kMaxHeadBytes) {
      request->head_refused_ = true;
      return 0;
    }
    const std::string line = core::WithoutTrailingLineBreaks(std::string(data, size * count));
    if (line.rfind("HTTP/", 0) == 0) {  // a new answer (after 100 or a redirect)
      request->response_headers_.clear();
      size_t code_at = line.find(' ');
      size_t text_at = code_at == std::string::npos ? std::string::npos : line.find(' ', code_at + 1);
      if (text_at == std::string::npos) {
        request->head_refused_ = true;
        return 0;
      }
      request->status_ = code_at == std::string::npos ? 0 : std::strtoul(line.c_str() + code_at + 1, nullptr, 10);
      request->status_text_ = text_at == std::string::npos ? L"" : core::FromUtf8(line.substr(text_at + 1));
    } else if (size_t colon = line.find(':'); colon != std::string::npos) {
      size_t value_at = line.find_first_not_of(" \t", colon + 1);
      request->response_headers_.emplace_back(line.substr(0, colon),
                                              value_at == std::string::npos ? "" : line.substr(value_at));
    }
    return size * count;
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    auto* request = static_cast<CurlRequest*>(self);
    const size_t n = size * count;
    const size_t room = request->options_.body_cap - std::min(request->options_.body_cap, request->response_.size());
    if (n > room) {
      // Keep one byte past the cap so the caller sees the excess, then stop.
      request->response_.append(data, std::min(n, room + 1));
      request->capped_ = true;
      return 0;
    }
    request->response_.append(data, n);
    return n;
  }

  CURLM* multi_;
  CURL* easy_;
  HttpRequestOptions options_;
  std::chrono::steady_clock::time_point deadline_;
  curl_slist* headers_ = nullptr;
  std::string body_;
  std::atomic<int> abort_kind_{0};
  Status outcome_;
  bool received_ = false;
  bool capped_ = false;
  size_t head_bytes_ = 0;
  bool head_refused_ = false;
  uint32_t status_ = 0;
  std::wstring status_text_;
  std::vector<std::pair<std::string, std::string>> response_headers_;
  std::string response_;
  size_t read_at_ = 0;
};

class CurlConnection : public HttpConnection {
 public:
  explicit CurlConnection(const HttpConnectOptions& options) : options_(options), multi_(curl_multi_init()) {}
  ~CurlConnection() override {
    if (multi_) curl_multi_cleanup(multi_);
  }
  bool valid() const { return multi_ != nullptr; }

  core::Result<std::unique_ptr<HttpRequest>> open_request(const HttpRequestOptions& options) override {
    auto request = std::make_unique<CurlRequest>(multi_, options_, options);
    if (!request->valid()) return Status::SystemError(err::kOutOfHandles);
    return std::unique_ptr<HttpRequest>(std::move(request));
  }

 private:
  HttpConnectOptions options_;
  CURLM* multi_;
};

struct CurlUrl {
  CURLU* handle = curl_url();
  ~CurlUrl() { curl_url_cleanup(handle); }
  std::string Part(CURLUPart part, unsigned flags = 0) const {
    char* text = nullptr;
    if (curl_url_get(handle, part, &text, flags) != CURLUE_OK) return "";
    std::string result = text;
    curl_free(text);
    return result;
  }
};

}  // namespace

CurlHttp::CurlHttp() { curl_global_init(CURL_GLOBAL_DEFAULT); }

core::Result<HttpUrl> CurlHttp::crack_url(const std::wstring& url) {
  CurlUrl parsed;
  CURLUcode code = curl_url_set(parsed.handle, CURLUPART_URL, Narrow(url).c_str(), CURLU_NON_SUPPORT_SCHEME);
  if (code != CURLUE_OK) return Status::SystemError(err::kInvalidUrl);
  const std::wstring scheme = core::FromUtf8(parsed.Part(CURLUPART_SCHEME));
  HttpUrl result;
  if (core::SameTextAscii(scheme, L"https")) result.secure = true;
  else if (!core::SameTextAscii(scheme, L"http")) return Status::SystemError(err::kUnrecognizedScheme);
  result.host = core::FromUtf8(parsed.Part(CURLUPART_HOST));
  if (result.host.empty()) return Status::SystemError(err::kInvalidUrl);
  result.port = static_cast<uint16_t>(std::stoul(parsed.Part(CURLUPART_PORT, CURLU_DEFAULT_PORT)));
  std::string path = parsed.Part(CURLUPART_PATH);
  std::string query = parsed.Part(CURLUPART_QUERY);
  if (path.empty()) path = "/";
  if (!query.empty()) path += "?" + query;
  result.path = core::FromUtf8(path);
  return result;
}

core::Result<std::unique_ptr<HttpConnection>> CurlHttp::connect(const HttpConnectOptions& options) {
  auto connection = std::make_unique<CurlConnection>(options);
  if (!connection->valid()) return Status::SystemError(err::kOutOfHandles);
  return std::unique_ptr<HttpConnection>(std::move(connection));
}

std::wstring CurlHttp::error_text(uint32_t code) { return http_error_fallback_text(code); }

}  // namespace platform::posix
