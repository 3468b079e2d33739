// The transport's answer to a failure, wherever the HTTP client reports it:
// a request to send again, a certificate wanted or an unknown authority is
// met by one more attempt. A scripted client at the seam reports each
// condition where a real one can, which no real server produces on demand.
#include <gtest/gtest.h>

#include <deque>

#include "core/utf.h"
#include "platform/host.h"
#include "platform/http.h"
#include "soap/http_transport.h"

using namespace soap;
using core::FailureKind;
using core::Status;
namespace err = platform::http_error;

namespace {

struct Script {
  std::deque<Status> send, receive;  // outcomes in turn; success once used up
  int sends = 0;
};

class ScriptedRequest : public platform::HttpRequest {
 public:
  explicit ScriptedRequest(Script& script) : script_(script) {}
  Status add_header(const std::wstring&) override { return Status::Ok(); }
  Status send(std::string_view, uint64_t) override {
    ++script_.sends;
    return Next(script_.send);
  }
  Status write(std::string_view) override { return Status::Ok(); }
  Status receive_response() override { return Next(script_.receive); }
  core::Result<uint32_t> status_code() override { return 200u; }
  core::Result<std::wstring> status_text() override { return std::wstring(L"OK"); }
  core::Result<std::wstring> header(const std::wstring&) override { return Status::SystemError(err::kHeaderNotFound); }
  core::Result<size_t> read(char* buffer, size_t size) override {
    const size_t n = std::min(size, body_.size());
    std::copy_n(body_.data(), n, buffer);
    body_.erase(0, n);
    return n;
  }
  void abort(FailureKind) override {}

 private:
  static Status Next(std::deque<Status>& outcomes) {
    if (outcomes.empty()) return Status::Ok();
    Status s = outcomes.front();
    outcomes.pop_front();
    return s;
  }
  Script& script_;
  std::string body_ = "<Envelope/>";
};

class ScriptedHttp : public platform::Http, public platform::HttpConnection {
 public:
  explicit ScriptedHttp(Script& script) : script_(script) {}
  core::Result<platform::HttpUrl> crack_url(const std::wstring&) override {
    return platform::HttpUrl{false, L"central", 5660, L"/soap/IcoKelvo"};
  }
  core::Result<std::unique_ptr<platform::HttpConnection>> connect(const platform::HttpConnectOptions&) override {
    return std::unique_ptr<platform::HttpConnection>(std::make_unique<Forward>(*this));
  }
  std::wstring error_text(uint32_t code) override { return platform::http_error_fallback_text(code); }
  core::Result<std::unique_ptr<platform::HttpRequest>> open_request(const platform::HttpRequestOptions&) override {
    return std::unique_ptr<platform::HttpRequest>(std::make_unique<ScriptedRequest>(script_));
  }

 private:
  struct Forward : platform::HttpConnection {
    explicit Forward(ScriptedHttp& http) : http(http) {}
    core::Result<std::unique_ptr<platform::HttpRequest>> open_request(const platform::HttpRequestOptions& o) override {
      return http.open_request(o);
    }
    ScriptedHttp& http;
  };
  Script& script_;
};

}  // namespace

TEST(ErrorPolicy, EachConditionIsMetWhereTheClientReportsIt) {
  const Status resend = Status::Failure(FailureKind::Resend, err::kResendRequest);
  const Status certificate = Status::Failure(FailureKind::ClientCertificateNeeded, err::kClientCertificateNeeded);
  const Status authority = Status::Failure(FailureKind::UnknownCertificateAuthority, err::kUnknownCertificateAuthority);
  const Status timeout = Status::Failure(FailureKind::DeadlinePassed, err::kTimeout);
  const Status broken = Status::SystemError(err::kConnectionError);
  const struct {
    const char* name;
    std::deque<Status> send, receive;
    bool ignore_invalid_certificates;
    int sends;
    uint32_t failure;  // 0: the call succeeds
  } cases[] = {
      {"resend asked when sending", {resend}, {}, true, 2, 0},
      {"resend asked when receiving", {}, {resend}, true, 2, 0},
      {"resend asked again", {}, {resend, resend}, true, 2, err::kResendRequest},
      {"certificate wanted when receiving", {}, {certificate}, true, 2, 0},
      {"unknown authority, invalid certificates ignored", {}, {authority}, true, 2, 0},
      {"unknown authority, certificates checked", {}, {authority}, false, 1, err::kUnknownCertificateAuthority},
      {"time-out when receiving", {}, {timeout}, true, 1, err::kTimeout},
      {"a failed send is reported, not what followed", {broken}, {timeout}, true, 1, err::kConnectionError},
  };
  for (const auto& c : cases) {
    Script script{c.send, c.receive};
    ScriptedHttp http(script);
    platform::ScopedOverride<platform::Http> use(&platform::Host::http, &http);
    THTTPReqResp node;
    if (!c.ignore_invalid_certificates) node.InvokeOptions.Exclude(SOAPInvokeOption::soIgnoreInvalidCerts);
    node.SetURL(L"http://central:5660/soap/IcoKelvo");
    std::wstring failure;
    try {
      node.Execute("<Envelope/>");
    } catch (const ESOAPHTTPException& e) {
      failure = e.Message();
    }
    EXPECT_EQ(script.sends, c.sends) << c.name;
    const std::wstring expected =
        c.failure ? platform::http_error_fallback_text(c.failure) + L" - URL:http://central:5660/soap/IcoKelvo - "
                                                                    L"SOAPAction:\"\""
                  : L"";
    EXPECT_EQ(failure, expected) << c.name;
  }
}

TEST(ErrorPolicy, ACancellationIsNeverRetried) {
  Script script{{}, {Status::Failure(FailureKind::Cancelled, err::kOperationCancelled)}};
  ScriptedHttp http(script);
  platform::ScopedOverride<platform::Http> use(&platform::Host::http, &http);
  THTTPReqResp node;
  node.SetURL(L"http://central:5660/soap/IcoKelvo");
  EXPECT_THROW(node.Execute("<Envelope/>"), core::EAbort);
  EXPECT_EQ(script.sends, 1);
}
