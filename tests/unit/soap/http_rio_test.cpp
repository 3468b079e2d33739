#include <gtest/gtest.h>

#include <thread>

#include "core/utf.h"
#include "support/http_test_server.h"
#include "soap/http_rio.h"
#include "soap/http_transport.h"
#include "soap/wsdl.h"
#include "support/soap_fixtures.h"
#include "support/response_envelope.h"
#include "support/wsdl_documents.h"

using namespace soap;
using testing_support::ResponseEnvelope;
using testing_support::HttpReceived;
using testing_support::HttpReply;
using testing_support::HttpTestServer;

namespace {

std::wstring Wide(const std::string& text) { return core::FromUtf8(text); }

// The central web service: the WSDL at /wsdl/IcoKelvo, the calls at /soap/IcoKelvo.
class CentralService : public testing::Test {
 protected:
  void SetUp() override { EnsureIcoKelvoRegistered(); }

  HttpReply Serve(const HttpReceived& r) {
    HttpReply reply;
    if (r.RequestLine().rfind("GET ", 0) == 0) {
      if (wsdl_down) return HttpReply::Of(HttpReply::Mode::Close);
      reply.body = wsdl;
      return reply;
    }
    const std::string action = r.Header("SOAPAction");
    if (fault) {
      reply.status = 500;
      reply.reason = "Internal Server Error";
      reply.body = testing_support::ReadFixture("responses/fault.xml");
    } else if (action.find("TestaConexao") != std::string::npos) {
      reply.body = ResponseEnvelope("TestaConexao", "OK");
    } else {
      reply.body = ResponseEnvelope("BuscaSolic", "17|11222333000181|S1");
    }
    return reply;
  }

  // As the service module configures its proxy.
  void Configure(const std::string& location_text) {
    rio.SetWSDLLocation(Wide(location_text));
    rio.SetService(L"IcoKelvoservice");
    rio.SetPort(L"IcoKelvoPort");
  }

  size_t Gets() {
    size_t n = 0;
    for (const auto& r : server.Requests()) n += r.RequestLine().rfind("GET ", 0) == 0;
    return n;
  }

  std::vector<HttpReceived> Posts() {
    std::vector<HttpReceived> posts;
    for (const auto& r : server.Requests())
      if (r.RequestLine().rfind("POST ", 0) == 0) posts.push_back(r);
    return posts;
  }

  // The message of the failure a call raises, or "" when it succeeds.
  template <class Call>
  static std::wstring FailureOf(Call call) {
    try {
      call();
    } catch (const std::exception& e) {
      return core::ExceptionMessage(e);
    }
    return L"";
  }

  HttpTestServer server{[this](const HttpReceived& r) { return Serve(r); }};
  std::string endpoint = server.Url("/soap/IcoKelvo");
  std::string wsdl = testing_support::Wsdl(endpoint);
  bool wsdl_down = false;
  bool fault = false;
  THTTPRIO rio;
};

}  // namespace

TEST_F(CentralService, CallsTravelToTheEndpointTheWsdlNames) {
  Configure(server.Url("/wsdl/IcoKelvo"));
  auto kelvo = rio.GetIcoKelvo();
  EXPECT_EQ(rio.HTTPWebNode().SoapAction(), L"urn:coKelvoIntf-IcoKelvo#%operationName%");
  EXPECT_EQ(kelvo->TestaConexao(), L"OK");
  EXPECT_EQ(kelvo->BuscaSolic(), L"17|11222333000181|S1");
  EXPECT_EQ(Gets(), 1u) << "the document is fetched once";

  auto posts = Posts();
  ASSERT_EQ(posts.size(), 2u);
  EXPECT_EQ(posts[0].RequestLine(), "POST /soap/IcoKelvo HTTP/1.1");
  EXPECT_EQ(posts[0].Header("SOAPAction"), "\"urn:coKelvoIntf-IcoKelvo#TestaConexao\"");
  EXPECT_EQ(posts[1].Header("SOAPAction"), "\"urn:coKelvoIntf-IcoKelvo#BuscaSolic\"");
  EXPECT_EQ(posts[0].Header("Content-Type"), "text/xml; charset=\"utf-8\"");
  EXPECT_EQ(posts[0].body, testing_support::ReadFixture("requests/TestaConexao.xml"));
  EXPECT_EQ(posts[1].body, testing_support::ReadFixture("requests/BuscaSolic.xml"));
  EXPECT_EQ(posts[0].connection, posts[1].connection) << "keep-alive between calls";
}

TEST_F(CentralService, AFaultReachesTheCallerAndTheProxyStaysUsable) {
  Configure(server.Url("/wsdl/IcoKelvo"));
  auto kelvo = rio.GetIcoKelvo();
  fault = true;
  try {
    kelvo->TestaConexao();
    ADD_FAILURE() << "no fault";
  } catch (const ERemotableException& e) {
    EXPECT_EQ(e.FaultReason(), L"Service unavailable");
  }
  fault = false;
  EXPECT_EQ(kelvo->TestaConexao(), L"OK");
  EXPECT_TRUE(rio.InterfaceBound());
}

TEST_F(CentralService, AFailedLoadIsRetriedAtTheNextCallAndThenKept) {
  const std::string location = server.Url("/wsdl/IcoKelvo");
  Configure("  " + std::string("HTTP") + location.substr(4) + " ");  // blanks and a capital scheme
  auto kelvo = rio.GetIcoKelvo();
  wsdl_down = true;
  const std::wstring failure = FailureOf([&] { kelvo->TestaConexao(); });
  EXPECT_EQ(failure.rfind(L"Unable to load WSDL File/Location: " + rio.WSDLLocation() + L".  Error [", 0), 0u)
      << core::ToUtf8(failure);
  EXPECT_TRUE(Posts().empty());
  wsdl_down = false;
  EXPECT_EQ(kelvo->TestaConexao(), L"OK");
  EXPECT_EQ(kelvo->BuscaSolic(), L"17|11222333000181|S1");
  EXPECT_EQ(Gets(), 2u) << "one failed GET, then exactly one that succeeded";
}

// A server that once serves a document without the endpoint must not leave
// a long-lived proxy failing every call after the document is corrected.
TEST_F(CentralService, ADocumentWithoutTheEndpointIsFetchedAgainAtTheNextCall) {
  wsdl = testing_support::Wsdl(endpoint, {{"ADDRESS", ""}});
  Configure(server.Url("/wsdl/IcoKelvo"));
  auto kelvo = rio.GetIcoKelvo();
  for (int call = 0; call < 2; ++call) {
    const std::wstring failure = FailureOf([&] { kelvo->TestaConexao(); });
    EXPECT_EQ(failure.rfind(L"Unable to retrieve the URL endpoint for Service/Port ", 0), 0u) << core::ToUtf8(failure);
  }
  EXPECT_EQ(Gets(), 2u) << "each failed call fetched the document";
  wsdl = testing_support::Wsdl(endpoint);
  EXPECT_EQ(kelvo->TestaConexao(), L"OK");
  EXPECT_EQ(kelvo->BuscaSolic(), L"17|11222333000181|S1");
  EXPECT_EQ(Gets(), 3u) << "the corrected document is fetched once and kept";
  EXPECT_EQ(Posts().size(), 2u) << "no call went out without an endpoint";
}

TEST_F(CentralService, DocumentsThatGiveNoEndpointOrActionFailOrFallBack) {
  const std::string prefix = "Unable to retrieve the URL endpoint for Service/Port ";
  const struct {
    const char* name;
    std::string document;
    bool set_names;
    std::string failure;  // empty: the call goes through
    std::string action;
  } cases[] = {
      {"no soapAction", testing_support::Wsdl(endpoint, {{"ACTION_T", ""}}), true, "",
       "\"urn:coKelvoIntf-IcoKelvo#TestaConexao\""},
      {"SOAP 1.2 address only", testing_support::Wsdl(endpoint, {{"ADDRESS", "<soap12:address location=\"" + endpoint + "\"/>"}}),
       true, prefix + "'IcoKelvoservice'/'IcoKelvoPort' from WSDL '%LOCATION%'", ""},
      {"two services, no service set", testing_support::Wsdl(endpoint, {{"MORE_SERVICES", "<service name=\"Other\"/>"}}),
       false, prefix + "''/'' from WSDL '%LOCATION%'", ""},
      {"an empty answer", "", true, "Unable to load WSDL File/Location: %LOCATION%.  Error [Empty document]", ""},
      {"a port without a binding", testing_support::Wsdl(endpoint, {{"PORT_BINDING", ""}}), true, "",
       "\"urn:coKelvoIntf-IcoKelvo#TestaConexao\""},
  };
  for (const auto& c : cases) {
    wsdl = c.document;
    const std::string location = server.Url("/wsdl/IcoKelvo");
    if (c.set_names) Configure(location);
    else rio.SetWSDLLocation(Wide(location));
    std::string expected = c.failure;
    if (auto at = expected.find("%LOCATION%"); at != std::string::npos) expected.replace(at, 10, location);
    const size_t posts_before = Posts().size();
    EXPECT_EQ(core::ToUtf8(FailureOf([&] { rio.GetIcoKelvo()->TestaConexao(); })), expected) << c.name;
    if (c.failure.empty()) {
      EXPECT_EQ(Posts().at(posts_before).Header("SOAPAction"), c.action) << c.name;
    }
  }
}

// Character references keep a line break in an attribute (Wine's XmlLite
// turns it into a blank, which is harmless): it must never split a header.
TEST_F(CentralService, ALineBreakInTheDocumentsSoapActionNeverReachesTheServer) {
  wsdl = testing_support::Wsdl(endpoint, {{"ACTION_T", "soapAction=\"urn:a&#13;&#10;X-Injected: yes\""}});
  Configure(server.Url("/wsdl/IcoKelvo"));
  const std::wstring failure = FailureOf([&] { rio.GetIcoKelvo()->TestaConexao(); });
  for (const auto& post : Posts()) {
    EXPECT_EQ(post.Header("X-Injected"), "");
    EXPECT_EQ(post.Header("SOAPAction").find_first_of("\r\n"), std::string::npos);
  }
  if (!Posts().empty()) return;
  EXPECT_EQ(core::ToUtf8(failure),
            "The SOAPAction value holds a line break or another control character and was not sent: "
            "'urn:a\\x0D\\x0AX-Injected: yes' - URL:" + endpoint);
}

TEST_F(CentralService, SettersClearWhatDependsOnThem) {
  rio.SetService(L"IcoKelvoservice");
  rio.SetPort(L"IcoKelvoPort");
  rio.SetWSDLLocation(Wide(server.Url("/wsdl/IcoKelvo")));
  EXPECT_EQ(rio.Service(), L"");
  EXPECT_EQ(rio.Port(), L"");
  // The document's only service and SOAP port serve instead.
  EXPECT_EQ(rio.GetIcoKelvo()->TestaConexao(), L"OK");

  rio.SetURL(Wide(endpoint));
  EXPECT_EQ(rio.WSDLLocation(), L"");
  const size_t gets = Gets();
  EXPECT_EQ(rio.GetIcoKelvo()->BuscaSolic(), L"17|11222333000181|S1");
  EXPECT_EQ(Posts().back().Header("SOAPAction"), "\"urn:coKelvoIntf-IcoKelvo#BuscaSolic\"");
  EXPECT_EQ(Gets(), gets) << "an explicit URL needs no document";

  rio.SetWSDLLocation(Wide(server.Url("/wsdl/IcoKelvo")));
  EXPECT_EQ(rio.URL(), L"");
}

TEST_F(CentralService, ABoundProxyRefusesOtherInterfaces) {
  static const TIntfMetaData other_md{L"IOther", L"Other", {0x12345678, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}}, nullptr, {}};
  static const TTypeInfo other{TTypeKind::tkInterface, L"IOther", &other_md};
  InvRegistry().RegisterInterface(&other, L"urn:other", L"", L"", L"");

  EXPECT_EQ(rio.QueryInterface(other_md.IID), nullptr) << "no call entries for it";
  EXPECT_FALSE(rio.InterfaceBound());
  EXPECT_NE(rio.GetIcoKelvo(), nullptr);
  EXPECT_EQ(rio.QueryInterface(other_md.IID), nullptr);
  EXPECT_NE(rio.GetIcoKelvo(), nullptr) << "asking again succeeds";

  THTTPRIO unconfigured;
  EXPECT_EQ(core::ToUtf8(FailureOf([&] { unconfigured.GetIcoKelvo()->TestaConexao(); })),
            "No WSDL or URL property was set in the THTTPRIO component. You must set the WSDL or URL property "
            "before invoking the Web Service");
}

TEST_F(CentralService, CancelFromAnotherThreadEndsAHungCallUntilReset) {
  Configure(server.Url("/wsdl/IcoKelvo"));
  auto kelvo = rio.GetIcoKelvo();
  EXPECT_EQ(kelvo->TestaConexao(), L"OK");

  HttpTestServer hung([](const HttpReceived&) { return HttpReply::Of(HttpReply::Mode::Hang); });
  rio.SetURL(Wide(hung.Url("/soap/IcoKelvo")));
  std::thread stopper([&] {
    if (hung.WaitForRequests(1, 5000)) rio.Cancel();
  });
  EXPECT_THROW(kelvo->BuscaSolic(), core::EAbort);
  stopper.join();
  EXPECT_THROW(kelvo->BuscaSolic(), core::EAbort) << "a stop between two calls is not lost";
  EXPECT_EQ(hung.Requests().size(), 1u);

  rio.ResetCancel();
  rio.SetURL(Wide(endpoint));
  EXPECT_EQ(kelvo->BuscaSolic(), L"17|11222333000181|S1");
}
