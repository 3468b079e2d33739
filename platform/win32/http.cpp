// platform/http.h on WinHTTP.
// HTTP through WinHTTP, in its synchronous mode. A blocked WinHTTP call does
// not always end when asked: under Wine a receive time-out set only through
// WinHttpSetTimeouts was ignored, and closing the request handle from another
// thread did not end a waiting WinHttpReceiveResponse. So the calls that wait
// on the network run on a worker thread of the request, and the caller waits
// for them only until the exchange deadline or an abort; the handle is then
// closed and, as Wine ends neither the call nor its connection on that, the
// connection is shut down from outside (stranded_connections.h); the
// worker, which owns its buffers, finishes on its own.
#include "platform/win32/http.h"

#include "core/text.h"
#include "platform/win32/http_stranded_connections.h"

#include <windows.h>
#include <winhttp.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace platform::win32 {

namespace {

using core::FailureKind;
using core::Status;
namespace err = http_error;

// Wine reads a response head of any size into memory (it ignores the
// head-size option), as fast as a server sends it. A WinHTTP call during
// which the process grows by this much is taken for such a flood: no head
// and no 16 KiB read is anywhere near it.
constexpr size_t kMaxGrowthInOneCall = 32u * 1024u * 1024u;
constexpr auto kMemoryCheckEvery = std::chrono::milliseconds(50);

// Resident bytes (Wine reports no private bytes).
size_t WorkingSetBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.WorkingSetSize : 0;
}

Status FromWinHttp(DWORD code) {
  switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
    case WSAETIMEDOUT:  // Wine passes the socket's own code through
      return http_exchange_ended(FailureKind::DeadlinePassed);
    case ERROR_WINHTTP_RESEND_REQUEST: return Status::Failure(FailureKind::Resend, err::kResendRequest);
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
      return Status::Failure(FailureKind::ClientCertificateNeeded, err::kClientCertificateNeeded);
    case ERROR_WINHTTP_SECURE_INVALID_CA:
      return Status::Failure(FailureKind::UnknownCertificateAuthority, err::kUnknownCertificateAuthority);
    case 0: return Status::SystemError(err::kInternal);
    default: return Status::SystemError(code);
  }
}

// What a request shares with its worker thread, which may outlive it.
struct RequestState {
  std::mutex mutex;
  std::condition_variable changed;
  HINTERNET handle = nullptr;
  FailureKind closed_why = FailureKind::None;
  uint32_t closed_code = 0;  // the error number reported once closed, when not a time-out or cancel
  bool leaving = false;                       // the request object is gone
  std::wstring host;                          // the server, to find its connection
  uint16_t port = 0;
  bool stranded = false;                      // its caller left while the worker waits
  std::function<BOOL(HINTERNET)> operation;   // posted, not yet taken
  bool running = false;                       // the worker is inside a WinHTTP call
  bool finished = false;                      // the last operation's outcome is ready
  BOOL succeeded = FALSE;
  DWORD error = 0;
  std::string out;                            // bytes to send
  std::vector<char> in;                       // bytes read
  DWORD count = 0;

  void CloseLocked(FailureKind why, uint32_t code = 0) {
    if (!handle) return;
    closed_why = why;
    closed_code = code;
    WinHttpCloseHandle(handle);
    handle = nullptr;
  }

  // The caller leaves a worker blocked in WinHTTP: end its connection.
  void StrandLocked() {
    if (!running || stranded) return;
    stranded = true;
    StrandedExchanges::Instance().Strand(host, port);
  }

  Status Closed() const {
    if (closed_code) return Status::Failure(closed_why, closed_code);
    return http_exchange_ended(closed_why);
  }

  static void Work(std::shared_ptr<RequestState> self) {
    std::unique_lock lock(self->mutex);
    for (;;) {
      self->changed.wait(lock, [&] { return self->operation || self->leaving; });
      if (!self->operation) break;
      auto operation = std::move(self->operation);
      self->operation = nullptr;
      HINTERNET h = self->handle;
      self->running = true;
      lock.unlock();
      BOOL ok = h ? operation(h) : FALSE;
      DWORD error = ok ? 0 : GetLastError();
      lock.lock();
      self->running = false;
      if (self->stranded) {
        self->stranded = false;
        StrandedExchanges::Instance().Release(self->host, self->port);
      }
      self->succeeded = ok;
      self->error = error;
      self->finished = true;
      self->changed.notify_all();
    }
    self->CloseLocked(FailureKind::Cancelled);
  }
};

class WinHttpRequest : public HttpRequest {
 public:
  WinHttpRequest(HINTERNET request, const HttpRequestOptions& options, const std::wstring& host, uint16_t port)
      : state_(std::make_shared<RequestState>()), deadline_(std::chrono::steady_clock::now() + std::chrono::milliseconds(options.exchange_ms)) {
    state_->handle = request;
    state_->host = host;
    state_->port = port;
    try {
      std::thread(RequestState::Work, state_).detach();
      started_ = true;
    } catch (const std::system_error&) {
      state_->CloseLocked(FailureKind::Cancelled);  // the handle is ours alone: nothing may leak
    }
  }

  ~WinHttpRequest() override {
    std::lock_guard lock(state_->mutex);
    state_->leaving = true;
    if (!state_->running) state_->CloseLocked(FailureKind::Cancelled);  // else the worker closes it when back
    state_->StrandLocked();
    state_->changed.notify_all();
  }

  bool started() const { return started_; }

  Status add_header(const std::wstring& line) override {
    return Quick([&](HINTERNET h) {
      return WinHttpAddRequestHeaders(h, line.c_str(), static_cast<DWORD>(-1L), WINHTTP_ADDREQ_FLAG_ADD);
    });
  }

  Status send(std::string_view first_piece, uint64_t total_length) override {
    return Wait(first_piece, [total = static_cast<DWORD>(total_length), state = state_.get()](HINTERNET h) {
      void* data = state->out.empty() ? WINHTTP_NO_REQUEST_DATA : state->out.data();
      return WinHttpSendRequest(h, WINHTTP_NO_ADDITIONAL_HEADERS, 0, data, static_cast<DWORD>(state->out.size()),
                                total, 0);
    });
  }

  Status write(std::string_view piece) override {
    while (!piece.empty()) {
      Status s = Wait(piece, [state = state_.get()](HINTERNET h) {
        return WinHttpWriteData(h, state->out.data(), static_cast<DWORD>(state->out.size()), &state->count);
      });
      if (!s.ok()) return s;
      const DWORD written = Count();
      if (written == 0) return Status::SystemError(err::kConnectionError);
      piece.remove_prefix(std::min<size_t>(written, piece.size()));
    }
    return Status::Ok();
  }

  Status receive_response() override {
    return Wait({}, [](HINTERNET h) { return WinHttpReceiveResponse(h, nullptr); });
  }

  core::Result<uint32_t> status_code() override {
    DWORD code = 0, size = sizeof code;
    Status s = Quick([&](HINTERNET h) {
      return WinHttpQueryHeaders(h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX);
    });
    if (!s.ok()) return s;
    return static_cast<uint32_t>(code);
  }

  core::Result<std::wstring> status_text() override { return Query(WINHTTP_QUERY_STATUS_TEXT, nullptr); }

  core::Result<std::wstring> header(const std::wstring& name) override {
    return Query(WINHTTP_QUERY_CUSTOM, name.c_str());
  }

  // Reads until WinHTTP reports the end with a read of 0 bytes, which is
  // also what lets it keep the connection for the next request.
  core::Result<size_t> read(char* buffer, size_t size) override {
    Status s = Wait({}, [size, state = state_.get()](HINTERNET h) {
      DWORD available = 0;
      if (!WinHttpQueryDataAvailable(h, &available)) return FALSE;
      state->in.resize(std::max<size_t>(1, std::min<size_t>(size, available)));
      return WinHttpReadData(h, state->in.data(), static_cast<DWORD>(state->in.size()), &state->count);
    });
    if (!s.ok()) return s;
    std::lock_guard lock(state_->mutex);
    const size_t got = std::min<size_t>(state_->count, size);
    std::copy_n(state_->in.data(), got, buffer);
    return got;
  }

  void abort(FailureKind why) override {
    std::lock_guard lock(state_->mutex);
    state_->CloseLocked(why);
    state_->StrandLocked();
    state_->changed.notify_all();
  }

 private:
  DWORD Count() {
    std::lock_guard lock(state_->mutex);
    return state_->count;
  }

  // A call that does not wait on the network, made on the caller's thread.
  template <class Operation>
  Status Quick(Operation operation) {
    std::lock_guard lock(state_->mutex);
    if (!state_->handle) return state_->Closed();
    if (operation(state_->handle)) return Status::Ok();
    return FromWinHttp(GetLastError());
  }

  // A call that waits on the network, made by the worker; `out` is copied
  // for it. Ends early when the deadline passes or abort() closes the handle.
  Status Wait(std::string_view out, std::function<BOOL(HINTERNET)> operation) {
    std::unique_lock lock(state_->mutex);
    if (!state_->handle) return state_->Closed();
    state_->out.assign(out);
    state_->count = 0;
    state_->finished = false;
    state_->operation = std::move(operation);
    state_->changed.notify_all();
    const size_t memory_before = WorkingSetBytes();
    for (;;) {
      const auto slice = std::min(deadline_, std::chrono::steady_clock::now() + kMemoryCheckEvery);
      if (state_->changed.wait_until(lock, slice, [&] { return state_->finished || !state_->handle; })) break;
      if (std::chrono::steady_clock::now() >= deadline_) {
        state_->CloseLocked(FailureKind::DeadlinePassed);
        state_->StrandLocked();
        break;
      }
      if (WorkingSetBytes() > memory_before + kMaxGrowthInOneCall) {
        state_->CloseLocked(FailureKind::System, err::kInvalidServerResponse);
        state_->StrandLocked();
        break;
      }
    }
    if (!state_->handle) return state_->Closed();
    return state_->succeeded ? Status::Ok() : FromWinHttp(state_->error);
  }

  core::Result<std::wstring> Query(DWORD level, const wchar_t* name) {
    std::vector<wchar_t> text(256);
    for (int attempt = 0; attempt < 2; ++attempt) {
      DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
      DWORD error = 0;
      Status s = Quick([&](HINTERNET h) {
        BOOL ok = WinHttpQueryHeaders(h, level, name ? name : WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                                      WINHTTP_NO_HEADER_INDEX);
        error = ok ? 0 : GetLastError();
        SetLastError(error);
        return ok;
      });
      if (s.ok()) return std::wstring(text.data(), size / sizeof(wchar_t));
      if (error != ERROR_INSUFFICIENT_BUFFER || size > 65536) return s;
      text.resize(size / sizeof(wchar_t) + 1);
    }
    return Status::SystemError(err::kHeaderNotFound);
  }

  std::shared_ptr<RequestState> state_;
  std::chrono::steady_clock::time_point deadline_;
  bool started_ = false;
};

// WinHTTP's documented default, which Wine accepts but does not enforce.
constexpr DWORD kMaxResponseHeadBytes = 64 * 1024;

// How long a new exchange waits for a stranded one with the same server to
// end (it does within moments once its connection is shut down).
constexpr uint32_t kStrandedWaitMs = 3000;

void SetTimeouts(HINTERNET request, const HttpLimits& limits) {
  WinHttpSetTimeouts(request, static_cast<int>(limits.resolve_ms), static_cast<int>(limits.connect_ms),
                     static_cast<int>(limits.send_ms), static_cast<int>(limits.receive_ms));
  // Only these end a wait for a silent server under Wine.
  const struct {
    DWORD option, value;
  } options[] = {
      {WINHTTP_OPTION_RESOLVE_TIMEOUT, limits.resolve_ms},
      {WINHTTP_OPTION_CONNECT_TIMEOUT, limits.connect_ms},
      {WINHTTP_OPTION_SEND_TIMEOUT, limits.send_ms},
      {WINHTTP_OPTION_RECEIVE_TIMEOUT, limits.receive_ms},
      {WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, limits.receive_ms},
  };
  for (auto o : options) {
    DWORD value = o.value;
    WinHttpSetOption(request, o.option, &value, sizeof value);
  }
}

class WinHttpConnection : public HttpConnection {
 public:
  WinHttpConnection(HINTERNET session, HINTERNET connection, const HttpConnectOptions& options)
      : session_(session), connection_(connection), host_(options.host), port_(options.port), user_(options.user),
        password_(options.password) {}
  ~WinHttpConnection() override {
    WinHttpCloseHandle(connection_);
    WinHttpCloseHandle(session_);
  }

  core::Result<std::unique_ptr<HttpRequest>> open_request(const HttpRequestOptions& options) override {
    // No second exchange with a server while a stranded one still holds a connection to it.
    if (!StrandedExchanges::Instance().WaitUntilNone(host_, port_, kStrandedWaitMs))
      return http_exchange_ended(FailureKind::DeadlinePassed);
    const wchar_t* any[] = {L"*/*", nullptr};
    HINTERNET request =
        WinHttpOpenRequest(connection_, options.verb.c_str(), options.path.c_str(), nullptr, WINHTTP_NO_REFERER,
                           options.accept_any ? any : WINHTTP_DEFAULT_ACCEPT_TYPES,
                           options.secure ? WINHTTP_FLAG_SECURE : 0);
    if (!request) return FromWinHttp(GetLastError());
    SetTimeouts(request, options.limits);
    DWORD head_cap = kMaxResponseHeadBytes;
    WinHttpSetOption(request, WINHTTP_OPTION_MAX_RESPONSE_HEADER_SIZE, &head_cap, sizeof head_cap);
    // A status of 300 or more is the caller's to judge, not a redirection to follow.
    DWORD redirects = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &redirects, sizeof redirects);
    if (!options.keep_alive) {
      DWORD feature = WINHTTP_DISABLE_KEEP_ALIVE;
      WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &feature, sizeof feature);
    }
    if (options.ignore_certificate_errors) {
      DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                    SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
      WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);  // outcome ignored
    }
    if (!user_.empty()) {
      WinHttpSetOption(request, WINHTTP_OPTION_USERNAME, const_cast<wchar_t*>(user_.c_str()),
                       static_cast<DWORD>(user_.size()));
      WinHttpSetOption(request, WINHTTP_OPTION_PASSWORD, const_cast<wchar_t*>(password_.c_str()),
                       static_cast<DWORD>(password_.size()));
    }
    auto made = std::make_unique<WinHttpRequest>(request, options, host_, port_);
    if (!made->started()) return Status::SystemError(err::kOutOfHandles);
    return std::unique_ptr<HttpRequest>(std::move(made));
  }

 private:
  HINTERNET session_;
  HINTERNET connection_;
  std::wstring host_;
  uint16_t port_;
  std::wstring user_, password_;
};

}  // namespace

namespace {

// The fragment names a place in the answer; it is never sent.
HttpUrl WithPathToSend(HttpUrl url) {
  if (size_t hash = url.path.find(L'#'); hash != std::wstring::npos) url.path.erase(hash);
  if (url.path.empty()) url.path = L"/";
  return url;
}

bool IsAddressCharacter(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F') || c == L':' || c == L'.';
}

// Wine's WinHttpCrackUrl takes "[" for the host of "http://[::1]:8080/x".
// The literal keeps its brackets: WinHttpConnect takes it so and writes the
// Host header right.
core::Result<HttpUrl> CrackBracketedHost(const std::wstring& url) {
  const size_t scheme_end = url.find(L"://");
  const size_t close = url.find(L']');
  if (scheme_end == std::wstring::npos || close == std::wstring::npos || close < scheme_end + 5)
    return Status::SystemError(err::kInvalidUrl);
  const std::wstring scheme = url.substr(0, scheme_end);
  HttpUrl result;
  if (_wcsicmp(scheme.c_str(), L"https") == 0) result.secure = true;
  else if (_wcsicmp(scheme.c_str(), L"http") != 0) return Status::SystemError(err::kUnrecognizedScheme);
  result.host = url.substr(scheme_end + 3, close - scheme_end - 2);
  if (!std::all_of(result.host.begin() + 1, result.host.end() - 1, IsAddressCharacter))
    return Status::SystemError(err::kInvalidUrl);
  size_t at = close + 1;
  result.port = result.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  if (at < url.size() && url[at] == L':') {
    unsigned long port = 0;
    size_t digits = 0;
    for (++at; at < url.size() && url[at] >= L'0' && url[at] <= L'9' && digits < 6; ++at, ++digits)
      port = port * 10 + (url[at] - L'0');
    if (digits == 0 || port == 0 || port > 65535) return Status::SystemError(err::kInvalidUrl);
    result.port = static_cast<uint16_t>(port);
  }
  if (at < url.size() && url[at] != L'/' && url[at] != L'?' && url[at] != L'#')
    return Status::SystemError(err::kInvalidUrl);
  result.path = url.substr(at);
  return result;
}

}  // namespace

core::Result<HttpUrl> WinHttpClient::crack_url(const std::wstring& url) {
  if (const size_t scheme_end = url.find(L"://"); scheme_end != std::wstring::npos && url[scheme_end + 3] == L'[') {
    auto result = CrackBracketedHost(url);
    if (!result.ok()) return result;
    return WithPathToSend(std::move(result.value()));
  }
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = parts.dwSchemeLength =
      static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
    DWORD code = GetLastError();
    return Status::SystemError(code == ERROR_WINHTTP_UNRECOGNIZED_SCHEME ? err::kUnrecognizedScheme
                                                                           : err::kInvalidUrl);
  }
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
    return Status::SystemError(err::kUnrecognizedScheme);
  HttpUrl result;
  result.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  result.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  if (result.host.empty()) return Status::SystemError(err::kInvalidUrl);
  result.port = parts.nPort;
  result.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo) result.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  return WithPathToSend(std::move(result));
}

core::Result<std::unique_ptr<HttpConnection>> WinHttpClient::connect(const HttpConnectOptions& options) {
  const bool named = !options.proxy.empty();
  HINTERNET session =
      WinHttpOpen(options.agent.c_str(), named ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                  named ? options.proxy.c_str() : WINHTTP_NO_PROXY_NAME,
                  named && !options.proxy_bypass.empty() ? options.proxy_bypass.c_str() : WINHTTP_NO_PROXY_BYPASS, 0);
  if (!session) return FromWinHttp(GetLastError());
  HINTERNET connection = WinHttpConnect(session, options.host.c_str(), options.port, 0);
  if (!connection) {
    const DWORD code = GetLastError();
    WinHttpCloseHandle(session);
    return FromWinHttp(code);
  }
  return std::unique_ptr<HttpConnection>(std::make_unique<WinHttpConnection>(session, connection, options));
}

std::wstring WinHttpClient::error_text(uint32_t code) {
  wchar_t buffer[256] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                GetModuleHandleW(L"winhttp.dll"), code, 0, buffer, 256, nullptr);
  const std::wstring text = core::WithoutTrailingLineBreaks(std::wstring(buffer, length));
  return text.empty() ? http_error_fallback_text(code) : text;
}

}  // namespace platform::win32
