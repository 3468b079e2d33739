#include "soap/http_transport.h"

#include <algorithm>

#include "core/format.h"
#include "core/text.h"
#include "core/utf.h"
#include "platform/clock.h"
#include "platform/host.h"
#include "soap/wsdl.h"
#include "soap/xml_reader.h"

namespace soap {

namespace {

using core::FailureKind;
namespace http_error = platform::http_error;

platform::Http& HttpClient() {
  platform::Http* http = platform::host().http;
  if (!http) throw ESOAPHTTPException(L"No HTTP client is installed");
  return *http;
}

// The boundary parameter of a multipart/related content type.
std::wstring MimeBoundaryOf(const std::wstring& content_type) {
  const std::wstring upper = core::UpperCaseAscii(content_type);
  if (upper.rfind(L"MULTIPART/RELATED", 0) != 0) return L"";
  size_t at = upper.find(L"BOUNDARY=");
  if (at == std::wstring::npos) return L"";
  std::wstring boundary = content_type.substr(at + 9);
  boundary = boundary.substr(0, boundary.find(L';'));
  if (boundary.size() >= 2 && boundary.front() == L'"' && boundary.back() == L'"')
    boundary = boundary.substr(1, boundary.size() - 2);
  return boundary;
}

bool IsControl(wchar_t c) { return c < L' ' || c == 0x7F; }

// Control characters shown as \xNN, so that a message stays one line.
std::wstring EscapedForMessage(const std::wstring& text) {
  std::wstring shown;
  for (wchar_t c : text) {
    if (!IsControl(c)) {
      shown += c;
      continue;
    }
    const wchar_t* digits = L"0123456789ABCDEF";
    shown += L"\\x";
    shown += digits[(c >> 4) & 0xF];
    shown += digits[c & 0xF];
  }
  return shown;
}

// No user can answer a dialog, and a repeat of a failure that persists would
// never end: at most this many repeats per exchange.
constexpr int kMaxResends = 1;

// The whole exchange when ExchangeDeadline leaves it to the transport.
constexpr uint32_t kExchangeMs = 15000;

// Receive buffer, on the stack and never cleared: an answer is read into it
// once per exchange. The body grows by at most this much past the cap.
constexpr size_t kReadPiece = 16384;

}  // namespace

size_t MaxResponseBodyBytes() { return kMaxXmlDocumentBytes; }

void THTTPCancellation::Cancel() {
  std::lock_guard lock(mutex_);
  cancelled_ = true;
  if (current_) current_->abort(FailureKind::Cancelled);
}

void THTTPCancellation::Reset() {
  std::lock_guard lock(mutex_);
  cancelled_ = false;
}

void THTTPCancellation::Enter(platform::HttpRequest* request) {
  std::lock_guard lock(mutex_);
  if (cancelled_) throw core::EAbort(L"Operation aborted");
  current_ = request;
}

void THTTPCancellation::Leave(platform::HttpRequest* request) {
  std::lock_guard lock(mutex_);
  if (current_ == request) current_ = nullptr;
}

void THTTPCancellation::StartBudget(uint32_t ms) {
  std::lock_guard lock(mutex_);
  budgeted_ = true;
  budget_end_ = platform::host().clock->monotonic_ms() + ms;
}

void THTTPCancellation::EndBudget() {
  std::lock_guard lock(mutex_);
  budgeted_ = false;
}

uint32_t THTTPCancellation::BudgetLeft() {
  std::lock_guard lock(mutex_);
  if (!budgeted_) return UINT32_MAX;
  const uint64_t now = platform::host().clock->monotonic_ms();
  return now >= budget_end_ ? 0 : static_cast<uint32_t>(std::min<uint64_t>(budget_end_ - now, UINT32_MAX - 1));
}

// One open request, registered for cancellation while it lives.
class THTTPReqResp::Exchange {
 public:
  Exchange(THTTPCancellation& cancellation, std::unique_ptr<platform::HttpRequest> request)
      : cancellation_(cancellation), request_(std::move(request)) {
    cancellation_.Enter(request_.get());
  }
  ~Exchange() { cancellation_.Leave(request_.get()); }
  platform::HttpRequest& operator*() { return *request_; }

 private:
  THTTPCancellation& cancellation_;
  std::unique_ptr<platform::HttpRequest> request_;
};

THTTPReqResp::THTTPReqResp() : cancellation_(std::make_shared<THTTPCancellation>()) {}

THTTPReqResp::~THTTPReqResp() = default;

void THTTPReqResp::ParseURL(const std::wstring& url) {
  url_ = url;
  url_host_.clear();
  url_site_.clear();
  url_port_ = 0;
  url_secure_ = false;
  if (url.empty()) return;
  // Both HTTP clients must see the same URLs: blanks and control characters
  // never reach a request line or a Host header, whoever wrote them.
  if (std::any_of(url.begin(), url.end(), [](wchar_t c) { return c <= L' ' || c == 0x7F; }))
    throw ESOAPHTTPException(core::Format(L"Invalid url '%s' - only supports 'http' and 'https' schemes",
                                          {EscapedForMessage(url)}));
  auto parts = HttpClient().crack_url(url);
  if (!parts.ok())
    throw ESOAPHTTPException(
        core::Format(L"Invalid url '%s' - only supports 'http' and 'https' schemes", {url}));
  url_host_ = parts.value().host;
  url_site_ = parts.value().path;
  url_port_ = parts.value().port;
  url_secure_ = parts.value().secure;
}

void THTTPReqResp::SetURL(const std::wstring& url) {
  user_set_url_ = !url.empty();
  Disconnect();
  ParseURL(url);
}

void THTTPReqResp::SetResolvedURL(const std::wstring& url) { ParseURL(url); }

std::wstring THTTPReqResp::SoapAction() const {
  if (soap_action_.empty() && !InvokeOptions.Has(SOAPInvokeOption::soNoValueForEmptySOAPAction)) return L"\"\"";
  return soap_action_;
}

void THTTPReqResp::SetUserName(const std::wstring& value) {
  user_name_ = value;
  if (WSDLView) WSDLView->UserName = value;
}

void THTTPReqResp::SetPassword(const std::wstring& value) {
  password_ = value;
  if (WSDLView) WSDLView->Password = value;
}

void THTTPReqResp::SetProxy(const std::wstring& value) {
  proxy_ = value;
  if (WSDLView) WSDLView->Proxy = value;
}

void THTTPReqResp::RaiseFailure(const core::Status& failure) const {
  if (failure.kind() == FailureKind::Cancelled) throw core::EAbort(L"Operation aborted");
  uint32_t code = failure.code();
  if (code == 0)
    code = failure.kind() == FailureKind::DeadlinePassed ? platform::http_exchange_ended(failure.kind()).code()
                                                         : http_error::kInternal;
  const std::wstring text = core::WithoutTrailingLineBreaks(HttpClient().error_text(code).substr(0, 256));
  throw ESOAPHTTPException(
      core::Format(L"%s - URL:%s - SOAPAction:%s", {text, url_, EscapedForMessage(SoapAction())}));
}

void THTTPReqResp::Connect() {
  if (connection_) return;
  platform::HttpConnectOptions options;
  options.agent = Agent;
  options.proxy = proxy_;
  options.proxy_bypass = ProxyByPass;
  options.host = url_host_;
  options.port = url_port_;
  options.user = user_name_;
  options.password = password_;
  connection_ = Check(HttpClient().connect(options));
}

void THTTPReqResp::Disconnect() { connection_.reset(); }

platform::HttpLimits THTTPReqResp::Limits(uint32_t budget_left) const {
  platform::HttpLimits limits;
  auto apply = [](int value, uint32_t& limit) {
    if (value > 0) limit = static_cast<uint32_t>(value);
  };
  apply(ConnectTimeout, limits.resolve_ms);
  apply(ConnectTimeout, limits.connect_ms);
  apply(SendTimeout, limits.send_ms);
  apply(ReceiveTimeout, limits.receive_ms);
  for (uint32_t* limit : {&limits.resolve_ms, &limits.connect_ms, &limits.send_ms, &limits.receive_ms})
    *limit = std::min(*limit, budget_left);
  return limits;
}

uint32_t THTTPReqResp::ExchangeLength(uint32_t budget_left) const {
  return std::min(ExchangeDeadline > 0 ? static_cast<uint32_t>(ExchangeDeadline) : kExchangeMs, budget_left);
}

void THTTPReqResp::CheckHeaderValue(const wchar_t* name, const std::wstring& value) const {
  if (std::none_of(value.begin(), value.end(), IsControl)) return;
  throw ESOAPHTTPException(core::Format(L"The %s value holds a line break or another control character and was "
                                        L"not sent: '%s' - URL:%s",
                                        {std::wstring(name), EscapedForMessage(value), url_}));
}

std::unique_ptr<platform::HttpRequest> THTTPReqResp::OpenRequest(const std::wstring& verb) {
  const uint32_t budget_left = cancellation_->BudgetLeft();
  if (budget_left == 0) RaiseFailure(platform::http_exchange_ended(FailureKind::DeadlinePassed));
  platform::HttpRequestOptions options;
  options.verb = verb;
  options.path = url_site_;
  options.accept_any = verb == L"GET";
  options.keep_alive = verb != L"GET";
  options.secure = url_secure_;
  options.ignore_certificate_errors = url_secure_ && InvokeOptions.Has(SOAPInvokeOption::soIgnoreInvalidCerts);
  // The poll's budget bounds every limit of the exchange.
  options.limits = Limits(budget_left);
  options.exchange_ms = ExchangeLength(budget_left);
  options.body_cap = MaxResponseBodyBytes();
  return Check(connection_->open_request(options));
}

std::wstring THTTPReqResp::SOAPActionLine() const {
  const std::wstring action = SoapAction();
  if (action.empty()) return L"SOAPAction:";
  if (action == L"\"\"") return L"SOAPAction: \"\"";
  return L"SOAPAction: \"" + action + L"\"";
}

void THTTPReqResp::AddHeaderLines(platform::HttpRequest& request) {
  const bool action_line = !InvokeOptions.Has(SOAPInvokeOption::soNoSOAPActionHeader);
  if (action_line) CheckHeaderValue(L"SOAPAction", SoapAction());
  CheckHeaderValue(L"MIME boundary", mime_boundary_);
  auto add = [&](const std::wstring& line) { Check(request.add_header(line)); };
  if (binding_type_ == TWebServiceBindingType::btMime) {
    add(L"MIME-Version: 1.0");
    if (action_line) add(SOAPActionLine());
    add(core::Format(L"Content-Type: %s",
                     {core::Format(L"multipart/related; boundary=%s", {mime_boundary_})}));
  } else if (web_node_options_.Has(WebNodeOption::wnoSOAP12)) {
    const std::wstring media =
        UseUTF8InHeader ? L"application/soap+xml; charset=\"utf-8\"" : L"application/soap+xml";
    add(action_line ? core::Format(L"Content-Type: %s;action=\"%s\"", {media, SoapAction()})
                    : core::Format(L"Content-Type: %s", {media}));
  } else {
    if (action_line) add(SOAPActionLine());
    add(core::Format(L"Content-Type: %s",
                     {std::wstring(UseUTF8InHeader ? L"text/xml; charset=\"utf-8\"" : L"text/xml")}));
  }
}

bool THTTPReqResp::ResendAfter(const core::Status& failure, int& resends) {
  if (failure.kind() == FailureKind::Cancelled) RaiseFailure(failure);
  const bool repeat = failure.kind() == FailureKind::Resend ||
                      failure.kind() == FailureKind::ClientCertificateNeeded ||
                      (failure.kind() == FailureKind::UnknownCertificateAuthority &&
                       InvokeOptions.Has(SOAPInvokeOption::soIgnoreInvalidCerts));
  if (repeat && resends < kMaxResends) {
    ++resends;
    return true;
  }
  // "Proceed": the failure surfaces when the answer is read.
  if (deferred_failure_.ok()) deferred_failure_ = failure;
  return false;
}

// Sends the whole body; the first failure is returned.
core::Status THTTPReqResp::SendBody(platform::HttpRequest& request, std::string_view body) {
  const size_t piece_size = static_cast<size_t>(std::max(MaxSinglePostSize, 1));
  if (body.size() <= piece_size) return request.send(body, body.size());
  core::Status status = request.send({}, body.size());
  for (size_t position = 0; status.ok() && position < body.size(); position += piece_size) {
    std::string_view piece = body.substr(position, piece_size);
    if (piece.empty()) throw ESOAPHTTPException(L"Invalid HTTP Request: Length is 0");
    status = request.write(piece);
  }
  return status;
}

// The error policy answers wherever a backend reports the condition: WinHTTP
// asks for a resend when sending or when receiving the answer, libcurl only
// when the answer is received.
void THTTPReqResp::SendAndReceive(platform::HttpRequest& request, std::string_view body, std::string& response,
                                  bool is_get) {
  int resends = 0;
  for (;;) {
    core::Status sent = SendBody(request, body);
    if (!sent.ok() && ResendAfter(sent, resends)) continue;
    core::Status answered = request.receive_response();
    if (answered.ok()) break;
    if (answered.kind() == FailureKind::Cancelled) RaiseFailure(answered);
    if (deferred_failure_.ok() && ResendAfter(answered, resends)) continue;
    RaiseFailure(deferred_failure_.ok() ? answered : deferred_failure_);
  }
  Receive(request, response, is_get);
}

void THTTPReqResp::Receive(platform::HttpRequest& request, std::string& response, bool is_get) {
  auto status = request.status_code();
  if (status.ok() && status.value() >= 300 && status.value() != 500) {
    // An answer without a reason phrase is still a refusal.
    auto text = request.status_text();
    throw ESOAPHTTPException(core::Format(L"%s (%d) - '%s'", {text.ok() ? text.value() : std::wstring(),
                                                              int64_t{status.value()}, url_}),
                             static_cast<int>(status.value()));
  }
  auto content_type = request.header(L"Content-Type");
  content_type_ = content_type.ok() ? content_type.value() : L"";
  mime_boundary_ = MimeBoundaryOf(content_type_);

  const size_t cap = MaxResponseBodyBytes();
  size_t taken = 0;
  char piece[kReadPiece];
  for (;;) {
    const size_t read = Check(request.read(piece, sizeof piece));
    if (read == 0) break;
    taken += read;
    if (taken > cap)
      throw ESOAPHTTPException(core::Format(L"The response is larger than %d bytes - URL:%s - SOAPAction:%s",
                                            {int64_t{static_cast<int64_t>(cap)}, url_, SoapAction()}));
    response.append(piece, read);
  }
  if (!is_get && (core::SameTextAscii(content_type_, L"text/plain") ||
                  core::SameTextAscii(content_type_, L"text/html")))
    throw ESOAPHTTPException(core::Format(
        L"Received content of invalid Content-Type setting: %s - SOAP expects \"text/xml\"", {content_type_}));
}

void THTTPReqResp::Execute(std::string_view Request, std::string& Response) {
  const bool uddi_armed = InvokeOptions.Has(SOAPInvokeOption::soAutoCheckAccessPointViaUDDI) &&
                          !UDDIBindingKey.empty() && !UDDIOperator.empty();
  deferred_failure_ = {};
  try {
    Connect();
    Exchange request(*cancellation_, OpenRequest(L"POST"));
    AddHeaderLines(*request);
    SendAndReceive(*request, Request, Response, false);
  } catch (const ESOAPHTTPException& e) {
    Disconnect();
    const bool moved = e.StatusCode == 404 || e.StatusCode == 405 || e.StatusCode == 410;
    // The armed re-check would ask the UDDI registry for a new access point
    // and repeat the call there. There is no inquiry client, so it never
    // finds one, and the failure goes on without its HTTP status.
    if (uddi_armed && moved) throw ESOAPHTTPException(e.Message());
    throw;
  } catch (...) {
    Disconnect();
    throw;
  }
}

std::string THTTPReqResp::Execute(std::string_view Request) {
  std::string response;
  Execute(Request, response);
  return response;
}

void THTTPReqResp::Execute(const std::wstring& DataMsg, std::string& Resp) { Execute(core::ToUtf8(DataMsg), Resp); }

void THTTPReqResp::Get(std::string& Resp) {
  if (url_.empty()) throw ESOAPHTTPException(L"No URL was specified for 'GET'");
  deferred_failure_ = {};
  try {
    Connect();
    Exchange request(*cancellation_, OpenRequest(L"GET"));
    SendAndReceive(*request, {}, Resp, true);
  } catch (...) {
    Disconnect();
    throw;
  }
  Disconnect();
}

}  // namespace soap
