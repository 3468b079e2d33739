#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/format.h"
#include "core/utf.h"
#include "platform/clock.h"
#include "platform/host.h"
#include "platform/http.h"
#include "soap/http_transport.h"
#include "support/http_test_server.h"
#include "support/mock_clock.h"
#include "support/thread_count.h"

using namespace soap;
using testing_support::HttpReceived;
using testing_support::HttpReply;
using testing_support::HttpTestServer;

namespace {

const std::string kEnvelope = "<?xml version=\"1.0\"?><Envelope/>";

std::wstring Wide(const std::string& text) { return core::FromUtf8(text); }

bool HasLine(const HttpReceived& r, const std::string& line) {
  auto lines = r.HeaderLines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::wstring ErrorText(uint32_t code) { return platform::host().http->error_text(code); }

class Transport : public testing::Test {
 protected:
  Transport() {
    node.SetURL(Wide(server.Url("/soap/IcoKelvo")));
    node.SetSoapAction(L"urn:coKelvoIntf-IcoKelvo#TestaConexao");
  }

  // Runs `call` and returns how long it took, in milliseconds.
  template <class Call>
  static long long Timed(Call call) {
    auto start = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  }

  // Shortened limits, so that a hung server costs the test little.
  void ShortLimits() {
    node.ConnectTimeout = 1000;
    node.SendTimeout = 1000;
    node.ReceiveTimeout = 1000;
    node.ExchangeDeadline = 1500;
  }

  HttpReply reply;
  HttpTestServer server{[this](const HttpReceived&) { return reply; }};
  THTTPReqResp node;
};

}  // namespace

TEST_F(Transport, PostCarriesTheRequestLineAndTheSoapHeaderLinesExactly) {
  reply.body = "<answer/>";
  EXPECT_EQ(node.Execute(kEnvelope), "<answer/>");
  auto r = server.Requests().at(0);
  EXPECT_EQ(r.RequestLine(), "POST /soap/IcoKelvo HTTP/1.1");
  EXPECT_TRUE(HasLine(r, "SOAPAction: \"urn:coKelvoIntf-IcoKelvo#TestaConexao\"")) << r.head;
  EXPECT_TRUE(HasLine(r, "Content-Type: text/xml; charset=\"utf-8\"")) << r.head;
  EXPECT_TRUE(HasLine(r, "User-Agent: Pelmirax SOAP 1.3")) << r.head;
  EXPECT_TRUE(HasLine(r, "Content-Length: " + std::to_string(kEnvelope.size()))) << r.head;
  EXPECT_EQ(r.Header("Host"), "127.0.0.1:" + std::to_string(server.port()));
  EXPECT_EQ(r.Header("Accept"), "") << "a POST names no accept types";
  EXPECT_EQ(r.body, kEnvelope);
}

TEST_F(Transport, HeaderLinesFollowTheActionAndTheOptions) {
  using enum SOAPInvokeOption;
  const struct {
    const char* name;
    std::wstring action;
    TSOAPInvokeOptions options;
    bool soap12, utf8;
    std::vector<std::string> present, absent;
  } cases[] = {
      {"empty action", L"", {}, false, true, {"SOAPAction: \"\""}, {}},
      {"empty action, no value", L"", {soNoValueForEmptySOAPAction}, false, true, {"SOAPAction:"}, {}},
      {"no action header", L"a#b", {soNoSOAPActionHeader}, false, true, {}, {"SOAPAction: \"a#b\""}},
      {"without UTF-8", L"a#b", {}, false, false, {"Content-Type: text/xml", "SOAPAction: \"a#b\""}, {}},
      {"SOAP 1.2", L"a#b", {}, true, true,
       {"Content-Type: application/soap+xml; charset=\"utf-8\";action=\"a#b\""}, {"SOAPAction: \"a#b\""}},
      {"SOAP 1.2 without action", L"a#b", {soNoSOAPActionHeader}, true, false,
       {"Content-Type: application/soap+xml"}, {}},
  };
  for (const auto& c : cases) {
    node.SetSoapAction(c.action);
    node.InvokeOptions = c.options;
    node.UseUTF8InHeader = c.utf8;
    TWebNodeOptions web;
    if (c.soap12) web.Include(WebNodeOption::wnoSOAP12);
    node.SetWebNodeOptions(web);
    const size_t before = server.Requests().size();
    node.Execute(kEnvelope);
    auto r = server.Requests().at(before);
    for (const auto& line : c.present) EXPECT_TRUE(HasLine(r, line)) << c.name << ": " << line << "\n" << r.head;
    for (const auto& line : c.absent) EXPECT_FALSE(HasLine(r, line)) << c.name << ": " << line;
    if (c.options.Has(soNoSOAPActionHeader)) {
      EXPECT_EQ(r.Header("SOAPAction"), "") << c.name;
    }
  }
}

TEST_F(Transport, SuccessfulCallsShareOneConnectionAndAFailureStartsAFreshOne) {
  node.Execute(kEnvelope);
  node.Execute(kEnvelope);
  EXPECT_EQ(server.Connections(), 1);
  reply.status = 404;
  reply.reason = "Not Found";
  EXPECT_THROW(node.Execute(kEnvelope), ESOAPHTTPException);
  EXPECT_FALSE(node.Connected());
  reply.status = 200;
  reply.reason = "OK";
  node.Execute(kEnvelope);
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].connection, requests[2].connection);
  EXPECT_NE(requests[3].connection, requests[2].connection);
}

TEST_F(Transport, AnswersByStatusAndContentType) {
  const struct {
    int status;
    const char* reason;
    const char* content_type;
    std::wstring error;  // empty: the body comes back
    int status_code;
  } cases[] = {
      {200, "OK", "text/xml", L"", 0},
      {500, "Internal Server Error", "text/xml; charset=utf-8", L"", 0},
      {200, "OK", "text/html; charset=utf-8", L"", 0},
      {404, "Not Found", "text/html", L"Not Found (404) - '%URL%'", 404},
      {302, "Found", "text/xml", L"Found (302) - '%URL%'", 302},
      {500, "Internal Server Error", "text/html",
       L"Received content of invalid Content-Type setting: text/html - SOAP expects \"text/xml\"", 0},
      {200, "OK", "text/html",
       L"Received content of invalid Content-Type setting: text/html - SOAP expects \"text/xml\"", 0},
      {200, "OK", "TEXT/PLAIN",
       L"Received content of invalid Content-Type setting: TEXT/PLAIN - SOAP expects \"text/xml\"", 0},
  };
  for (const auto& c : cases) {
    reply = {};
    reply.status = c.status;
    reply.reason = c.reason;
    reply.content_type = c.content_type;
    reply.body = "<b/>";
    std::wstring expected = c.error;
    if (auto at = expected.find(L"%URL%"); at != std::wstring::npos) expected.replace(at, 5, node.URL());
    try {
      EXPECT_EQ(node.Execute(kEnvelope), "<b/>") << c.status << " " << c.content_type;
      EXPECT_TRUE(expected.empty()) << c.status << " " << c.content_type << " was accepted";
    } catch (const ESOAPHTTPException& e) {
      EXPECT_EQ(e.Message(), expected) << c.status << " " << c.content_type;
      EXPECT_EQ(e.StatusCode, c.status_code);
    }
  }
}

// The armed UDDI re-check finds no new access point (there is no inquiry
// client): a moved endpoint's failure then loses its status, and nothing
// is sent again.
TEST_F(Transport, AMovedEndpointLosesItsStatusOnlyWhenTheUddiRecheckIsArmed) {
  const struct {
    const char* name;
    bool option;
    std::wstring uddi_operator, binding_key;
    int status;
    int status_code;  // of the failure
  } cases[] = {
      {"armed, 404", true, L"http://uddi.example/inquire", L"key", 404, 0},
      {"armed, 405", true, L"http://uddi.example/inquire", L"key", 405, 0},
      {"armed, 410", true, L"http://uddi.example/inquire", L"key", 410, 0},
      {"armed, another status", true, L"http://uddi.example/inquire", L"key", 403, 403},
      {"no operator", true, L"", L"key", 404, 404},
      {"no binding key", true, L"http://uddi.example/inquire", L"", 404, 404},
      {"option off", false, L"http://uddi.example/inquire", L"key", 404, 404},
  };
  for (const auto& c : cases) {
    reply = {};
    reply.status = c.status;
    reply.reason = "Gone Away";
    if (c.option) node.InvokeOptions.Include(SOAPInvokeOption::soAutoCheckAccessPointViaUDDI);
    else node.InvokeOptions.Exclude(SOAPInvokeOption::soAutoCheckAccessPointViaUDDI);
    node.UDDIOperator = c.uddi_operator;
    node.UDDIBindingKey = c.binding_key;
    const size_t before = server.Requests().size();
    try {
      node.Execute(kEnvelope);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const ESOAPHTTPException& e) {
      EXPECT_EQ(e.Message(), core::Format(L"Gone Away (%d) - '%s'", {int64_t{c.status}, node.URL()})) << c.name;
      EXPECT_EQ(e.StatusCode, c.status_code) << c.name;
    }
    EXPECT_EQ(server.Requests().size(), before + 1) << c.name << ": sent again";
    EXPECT_FALSE(node.Connected()) << c.name;
  }
}

TEST_F(Transport, BodiesUpToTheSinglePostSizeAndAboveArriveWhole) {
  for (size_t size : {size_t{32768}, size_t{32769}, size_t{100000}}) {
    std::string body(size, 'a');
    body.back() = 'z';
    const size_t before = server.Requests().size();
    node.Execute(body);
    auto r = server.Requests().at(before);
    EXPECT_EQ(r.Header("Content-Length"), std::to_string(size));
    EXPECT_EQ(r.body, body) << size;
  }
}

TEST_F(Transport, GetAsksForAnyTypeWithoutSoapLinesAndDisconnects) {
  reply.body = "<definitions/>";
  reply.content_type = "text/html";  // no content-type test for a GET
  node.SetURL(Wide(server.Url("/wsdl/IcoKelvo?x=1")));
  std::string body;
  node.Get(body);
  EXPECT_EQ(body, "<definitions/>");
  EXPECT_FALSE(node.Connected());
  auto r = server.Requests().at(0);
  EXPECT_EQ(r.RequestLine(), "GET /wsdl/IcoKelvo?x=1 HTTP/1.1");
  EXPECT_EQ(r.Header("Accept"), "*/*");
  EXPECT_EQ(r.Header("SOAPAction"), "");
  EXPECT_EQ(r.Header("Content-Type"), "");
}

TEST_F(Transport, RefusesWhatItCannotSend) {
  const struct {
    std::wstring url;
    std::wstring message;
  } cases[] = {
      {L"ftp://127.0.0.1/x", L"Invalid url 'ftp://127.0.0.1/x' - only supports 'http' and 'https' schemes"},
      {L"not a url", L"Invalid url 'not a url' - only supports 'http' and 'https' schemes"},
      {L"http://127.0.0.1/a b", L"Invalid url 'http://127.0.0.1/a b' - only supports 'http' and 'https' schemes"},
      {L"http://127.0.0.1\r\nX-Injected: yes/x",
       L"Invalid url 'http://127.0.0.1\\x0D\\x0AX-Injected: yes/x' - only supports 'http' and 'https' schemes"},
      {L"http://[::1:8080/x", L"Invalid url 'http://[::1:8080/x' - only supports 'http' and 'https' schemes"},
      {L"http://[::1]x/y", L"Invalid url 'http://[::1]x/y' - only supports 'http' and 'https' schemes"},
  };
  for (const auto& c : cases) {
    try {
      node.SetURL(c.url);
      ADD_FAILURE() << "accepted";
    } catch (const ESOAPHTTPException& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
  node.SetURL(L"");
  try {
    std::string body;
    node.Get(body);
    ADD_FAILURE() << "GET without URL";
  } catch (const ESOAPHTTPException& e) {
    EXPECT_EQ(e.Message(), L"No URL was specified for 'GET'");
  }
}

// "ServidorBackup" may name an IPv6 address; both clients must reach it and
// name it in brackets in the Host header.
TEST_F(Transport, ReachesAnIPv6LiteralWithItsBracketsInTheHostHeader) {
  HttpTestServer v6(
      [](const HttpReceived&) {
        HttpReply reply;
        reply.body = "<a/>";
        return reply;
      },
      testing_support::net::Family::IPv6);
  node.SetURL(Wide(v6.Url("/wsdl#part")));
  std::string body;
  node.Get(body);
  EXPECT_EQ(body, "<a/>");
  ASSERT_EQ(v6.Requests().size(), 1u);
  EXPECT_EQ(v6.Requests()[0].RequestLine(), "GET /wsdl HTTP/1.1");
  EXPECT_EQ(v6.Requests()[0].Header("Host"), "[::1]:" + std::to_string(v6.port()));
}

TEST_F(Transport, AServerThatIsDownIsReportedWithTheUrlAndAction) {
  std::wstring url;
  {
    HttpTestServer gone([](const HttpReceived&) { return HttpReply{}; });
    url = Wide(gone.Url("/soap"));
  }
  node.SetURL(url);
  try {
    node.Execute(kEnvelope);
    ADD_FAILURE() << "no failure";
  } catch (const ESOAPHTTPException& e) {
    EXPECT_EQ(e.Message(), ErrorText(platform::http_error::kCannotConnect) + L" - URL:" + url +
                               L" - SOAPAction:urn:coKelvoIntf-IcoKelvo#TestaConexao");
    EXPECT_EQ(e.StatusCode, 0);
  }
}

TEST_F(Transport, HungAndDrippingServersEndAtTheDeadline) {
  ShortLimits();
  const std::wstring timed_out = ErrorText(platform::http_error::kTimeout);
  HttpReply drip;
  drip.mode = HttpReply::Mode::Drip;
  drip.body = std::string(200, 'x');  // 40 s at its pace
  drip.drip_ms = 200;                 // each gap well inside the receive limit
  const struct {
    const char* name;
    HttpReply reply;
    int receive_ms;
  } cases[] = {
      {"hung, receive limit first", HttpReply::Of(HttpReply::Mode::Hang), 1000},
      {"hung, only the deadline can end it", HttpReply::Of(HttpReply::Mode::Hang), 60000},
      {"drip", drip, 1000},
  };
  for (const auto& c : cases) {
    server.WhileHandlerHeld([&] { reply = c.reply; });  // the last case's server thread may still run
    node.ReceiveTimeout = c.receive_ms;
    long long ms = Timed([&] {
      try {
        node.Execute(kEnvelope);
        ADD_FAILURE() << c.name << ": answered";
      } catch (const ESOAPHTTPException& e) {
        EXPECT_EQ(e.Message().rfind(timed_out, 0), 0u) << c.name << ": " << core::ToUtf8(e.Message());
      }
    });
    EXPECT_LT(ms, 6000) << c.name;
  }
}

TEST_F(Transport, AnAnswerAboveTheCapIsRefusedWhileReading) {
  reply.mode = HttpReply::Mode::Endless;
  try {
    node.Execute(kEnvelope);
    ADD_FAILURE() << "an endless answer was taken";
  } catch (const ESOAPHTTPException& e) {
    EXPECT_EQ(e.Message().rfind(L"The response is larger than " + std::to_wstring(MaxResponseBodyBytes()) +
                                    L" bytes - URL:",
                                0),
              0u)
        << core::ToUtf8(e.Message());
  }
}

TEST_F(Transport, CancelEndsTheExchangeInFlightAndLaterOnesUntilReset) {
  reply.mode = HttpReply::Mode::Hang;
  std::thread stopper([&] {
    if (server.WaitForRequests(1, 5000)) node.Cancellation().Cancel();
  });
  long long ms = Timed([&] { EXPECT_THROW(node.Execute(kEnvelope), core::EAbort); });
  stopper.join();
  EXPECT_LT(ms, 3000);

  reply = {};
  EXPECT_THROW(node.Execute(kEnvelope), core::EAbort);
  std::string body;
  EXPECT_THROW(node.Get(body), core::EAbort);
  EXPECT_EQ(server.Requests().size(), 1u) << "nothing is sent while cancelled";
  node.Cancellation().Reset();
  EXPECT_NO_THROW(node.Execute(kEnvelope));
}

TEST_F(Transport, ControlCharactersInAHeaderValueAreRefusedBeforeAnythingIsSent) {
  const struct {
    std::wstring action;
    std::wstring shown;
  } cases[] = {
      {L"urn:a\r\nX-Injected: yes", L"urn:a\\x0D\\x0AX-Injected: yes"},
      {L"urn:a\nContent-Length: 0", L"urn:a\\x0AContent-Length: 0"},
      {std::wstring(L"urn:a") + L'\0' + L"b", L"urn:a\\x00b"},
      {L"urn:a\x7f", L"urn:a\\x7F"},
  };
  for (const auto& c : cases) {
    node.SetSoapAction(c.action);
    try {
      node.Execute(kEnvelope);
      ADD_FAILURE() << core::ToUtf8(c.shown) << ": sent";
    } catch (const ESOAPHTTPException& e) {
      EXPECT_EQ(e.Message(), L"The SOAPAction value holds a line break or another control character and was not "
                             L"sent: '" + c.shown + L"' - URL:" + Wide(server.Url("/soap/IcoKelvo")));
    }
  }
  EXPECT_EQ(server.Connections(), 0) << "nothing reached the server";
}

// The first line of an answer, as each HTTP client must read it alike.
TEST_F(Transport, AStatusLineWithoutAReasonPhraseReadsTheSameOnBothClients) {
  const std::wstring url = Wide(server.Url("/soap/IcoKelvo"));
  const struct {
    std::string status_line;
    std::wstring message;
    int status_code;
  } cases[] = {
      {"HTTP/1.1 302", ErrorText(platform::http_error::kInvalidServerResponse) + L" - URL:" + url +
                           L" - SOAPAction:urn:coKelvoIntf-IcoKelvo#TestaConexao", 0},
      {"HTTP/1.1 302 ", L" (302) - '" + url + L"'", 302},
  };
  for (const auto& c : cases) {
    server.WhileHandlerHeld([&] { reply.status_line = c.status_line; });
    try {
      node.Execute(kEnvelope);
      ADD_FAILURE() << c.status_line << ": taken as an answer";
    } catch (const ESOAPHTTPException& e) {
      EXPECT_EQ(e.Message(), c.message) << c.status_line;
      EXPECT_EQ(e.StatusCode, c.status_code) << c.status_line;
    }
  }
}

// A server that sends its head slowly or without end: the caller returns by
// its deadline, and the exchange leaves no thread or connection behind.
TEST_F(Transport, HeadDripAndFloodEndByTheDeadlineAndLeaveNothingBehind) {
  ShortLimits();
  HttpReply drip = HttpReply::Of(HttpReply::Mode::HeadDrip);
  drip.drip_ms = 100;  // each gap well inside the receive limit
  const struct {
    const char* name;
    HttpReply reply;
  } cases[] = {{"head drip", drip}, {"head flood", HttpReply::Of(HttpReply::Mode::HeadFlood)}};
  const int threads_before = testing_support::ThreadCount();
  for (const auto& c : cases) {
    server.WhileHandlerHeld([&] { reply = c.reply; });
    for (int exchange = 0; exchange < 3; ++exchange) {
      long long ms = Timed([&] { EXPECT_THROW(node.Execute(kEnvelope), ESOAPHTTPException) << c.name; });
      EXPECT_LT(ms, 4000) << c.name;
    }
    EXPECT_TRUE(server.WaitForOpenConnections(0, 5000))
        << c.name << ": " << server.OpenConnections() << " connections still open";
  }
  // Threads end shortly after their connection; give them the same time.
  for (int i = 0; i < 50 && testing_support::ThreadCount() > threads_before; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LE(testing_support::ThreadCount(), threads_before);
}

// The poll's budget: every exchange after it starts shares what is left.
TEST_F(Transport, ABudgetBoundsAllExchangesTogether) {
  reply.mode = HttpReply::Mode::Hang;
  node.Cancellation().StartBudget(1500);
  const std::wstring timed_out = ErrorText(platform::http_error::kTimeout);
  long long ms = Timed([&] {
    for (int call = 0; call < 3; ++call) {
      try {
        node.Execute(kEnvelope);
        ADD_FAILURE() << "answered";
      } catch (const ESOAPHTTPException& e) {
        EXPECT_EQ(e.Message().rfind(timed_out, 0), 0u) << core::ToUtf8(e.Message());
      }
    }
  });
  EXPECT_LT(ms, 5000) << "three hung calls took one budget, not three deadlines";
  EXPECT_EQ(server.Connections(), 1) << "no exchange starts once the budget is spent";
  node.Cancellation().EndBudget();
  server.WhileHandlerHeld([&] { reply = {}; });  // the hung exchange's server thread may still read it
  EXPECT_NO_THROW(node.Execute(kEnvelope));
}

// The budget runs on the host's clock, as the timers do: real waits under a
// standing mock time never spend it, and moving the time past it refuses
// the next exchange before it reaches the server.
TEST_F(Transport, TheBudgetRunsOnTheHostClock) {
  testing_support::MockClock clock;
  platform::ScopedOverride<platform::Clock> use_clock{&platform::Host::clock, &clock};
  reply.body = "<answer/>";
  reply.mode = HttpReply::Mode::Drip;  // real time passes in every exchange
  reply.drip_ms = 10;
  node.Cancellation().StartBudget(45000);
  EXPECT_EQ(node.Execute(kEnvelope), "<answer/>");
  EXPECT_EQ(node.Cancellation().BudgetLeft(), 45000u);
  clock.jump_by(44000);
  EXPECT_EQ(node.Execute(kEnvelope), "<answer/>");  // within the second left
  EXPECT_EQ(node.Cancellation().BudgetLeft(), 1000u);
  clock.jump_by(1000);
  EXPECT_EQ(node.Cancellation().BudgetLeft(), 0u);
  const size_t asked = server.Requests().size();
  try {
    node.Execute(kEnvelope);
    ADD_FAILURE() << "answered past the budget";
  } catch (const ESOAPHTTPException& e) {
    EXPECT_EQ(e.Message().rfind(ErrorText(platform::http_error::kTimeout), 0), 0u) << core::ToUtf8(e.Message());
  }
  EXPECT_EQ(server.Requests().size(), asked);
  node.Cancellation().EndBudget();
  EXPECT_EQ(node.Execute(kEnvelope), "<answer/>");
}

TEST_F(Transport, TheFragmentOfAUrlIsNeverSent) {
  node.SetURL(Wide(server.Url("/soap/IcoKelvo?site=1#part")));
  node.Execute(kEnvelope);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].RequestLine(), "POST /soap/IcoKelvo?site=1 HTTP/1.1");
}
