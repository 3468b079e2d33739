#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "core/utf.h"
#include "support/http_test_server.h"
#include "soap/soap_exceptions.h"
#include "soap/wsdl.h"
#include "soap/xml_reader.h"
#include "support/temp_dir.h"
#include "support/wsdl_documents.h"

using namespace soap;
using testing_support::Wsdl;

namespace {

const char kEndpoint[] = "http://central:5660/soap/IcoKelvo";

class WsdlQueries : public testing::Test {
 protected:
  TWSDLItems& Load(const std::string& text) {
    items.LoadFromBytes(text);
    return items;
  }
  TStreamLoader loader;
  TWSDLItems items{loader};
};

}  // namespace

TEST_F(WsdlQueries, FindBindingAddressActionAndBodyNamespace) {
  auto& wsdl = Load(Wsdl(kEndpoint));
  EXPECT_EQ(wsdl.GetBindingForServicePort(L"IcoKelvoservice", L"IcoKelvoPort"), L"tns:IcoKelvobinding");
  int version = 1;
  EXPECT_EQ(wsdl.GetSoapAddressForServicePort(L"IcoKelvoservice", L"IcoKelvoPort", version), core::FromUtf8(kEndpoint));
  version = 0;
  EXPECT_EQ(wsdl.GetSoapAction(L"tns:IcoKelvobinding", L"BuscaSolic", version, 0), L"urn:coKelvoIntf-IcoKelvo#BuscaSolic");
  EXPECT_EQ(version, 1) << "version 0 reports the version it found";
  version = 1;
  EXPECT_EQ(wsdl.GetSoapBodyAttribute(L"tns:IcoKelvobinding", L"TestaConexao", version, 0, L"namespace", true),
            L"urn:coKelvoIntf-IcoKelvo");
  EXPECT_EQ(wsdl.GetSoapBodyAttribute(L"tns:IcoKelvobinding", L"BuscaSolic", version, 0, L"namespace", false), L"");
  EXPECT_EQ(wsdl.GetServices(), std::vector<std::wstring>{L"IcoKelvoservice"});
  EXPECT_EQ(wsdl.GetPortsForService(L"IcoKelvoservice"), std::vector<std::wstring>{L"IcoKelvoPort"})
      << "a port whose binding has an HTTP verb is left out";
}

TEST_F(WsdlQueries, NamesMatchByLocalNameAndPrefixOrNamespace) {
  const struct {
    const char* name;
    std::map<std::string, std::string> changes;
    std::wstring wanted_binding;  // as the port would write it
    bool found;
  } cases[] = {
      {"prefix bound to the target namespace in other letter case",
       {{"ROOT_NS", "xmlns:B=\"HTTP://TEMPURI.ORG/\""}, {"PORT_BINDING", "B:IcoKelvobinding"}},
       L"B:IcoKelvobinding", true},
      {"unprefixed name stands for the target namespace", {{"PORT_BINDING", "IcoKelvobinding"}},
       L"IcoKelvobinding", true},
      {"local name differing in letter case", {{"BINDING", "icokelvobinding"}}, L"tns:IcoKelvobinding", false},
      {"prefix bound to another namespace",
       {{"ROOT_NS", "xmlns:o=\"urn:other\""}, {"PORT_BINDING", "o:IcoKelvobinding"}}, L"o:IcoKelvobinding", false},
      {"undeclared prefix", {{"PORT_BINDING", "zz:IcoKelvobinding"}}, L"zz:IcoKelvobinding", false},
  };
  for (const auto& c : cases) {
    auto& wsdl = Load(Wsdl(kEndpoint, c.changes));
    EXPECT_EQ(wsdl.GetBindingForServicePort(L"IcoKelvoservice", L"IcoKelvoPort"), c.wanted_binding) << c.name;
    int version = 1;
    EXPECT_EQ(wsdl.GetSoapAction(c.wanted_binding, L"TestaConexao", version, 0),
              c.found ? L"urn:coKelvoIntf-IcoKelvo#TestaConexao" : L"")
        << c.name;
  }
}

TEST_F(WsdlQueries, SoapVersionDecidesWhichAddressCounts) {
  auto& wsdl = Load(Wsdl(kEndpoint, {{"ADDRESS", "<soap12:address location=\"http://v12/\"/>"}}));
  int version = 1;
  EXPECT_EQ(wsdl.GetSoapAddressForServicePort(L"IcoKelvoservice", L"IcoKelvoPort", version), L"");
  version = 0;
  EXPECT_EQ(wsdl.GetSoapAddressForServicePort(L"IcoKelvoservice", L"IcoKelvoPort", version), L"http://v12/");
  EXPECT_EQ(version, 2);
}

TEST_F(WsdlQueries, ViewTakesTheOnlyServiceAndPortButNotOneOfTwo) {
  TWSDLView view;
  view.WSDL = &Load(Wsdl(kEndpoint));
  EXPECT_EQ(view.GetService(), L"IcoKelvoservice");
  EXPECT_EQ(view.GetPort(), L"IcoKelvoPort");

  TWSDLView two;
  two.WSDL = &Load(Wsdl(kEndpoint, {{"MORE_SERVICES", "<service name=\"Other\"/>"}}));
  EXPECT_EQ(two.GetService(), L"");
  EXPECT_EQ(two.GetPort(), L"");
}

TEST_F(WsdlQueries, ImportsAreFollowedOnceAndCyclesCut) {
  testing_support::TempDir dir("tavwsdlimport");
  const std::string a = (dir.path() / "a.wsdl").string(), b = (dir.path() / "b.wsdl").string();
  auto import = [](const std::string& location) {
    return "<import namespace=\"http://tempuri.org/\" location=\"" + location + "\"/>";
  };
  const std::string no_service = "<service name=\"None\"/>";
  // The main document imports a, which imports b and itself; b imports a and holds the service.
  std::ofstream(a, std::ios::binary) << "<definitions xmlns=\"http://schemas.xmlsoap.org/wsdl/\">" + import(b) +
                                            import(a) + "</definitions>";
  std::ofstream(b, std::ios::binary) << Wsdl(kEndpoint, {{"IMPORTS", import(a)}});
  std::string main = "<definitions xmlns=\"http://schemas.xmlsoap.org/wsdl/\">" + import(a) +
                     import("missing.wsdl") + "</definitions>";
  auto& wsdl = Load(main);
  int version = 1;
  EXPECT_EQ(wsdl.GetSoapAddressForServicePort(L"IcoKelvoservice", L"IcoKelvoPort", version),
            core::FromUtf8(kEndpoint));
  EXPECT_EQ(wsdl.GetServices(), std::vector<std::wstring>{L"IcoKelvoservice"});
}

TEST_F(WsdlQueries, LoadFailuresNameTheLocationAndTheCause) {
  testing_support::TempDir dir("tavwsdlload");
  const std::string empty = (dir.path() / "empty.wsdl").string();
  const std::string broken = (dir.path() / "broken.wsdl").string();
  std::ofstream(empty, std::ios::binary) << "";
  std::ofstream(broken, std::ios::binary) << "<definitions>";
  const struct {
    std::string location;
    std::wstring cause_start;
  } cases[] = {
      {empty, L"Empty document"},
      {broken, L""},  // the parser's words
      {(dir.path() / "none.wsdl").string(), L"Cannot open file"},
  };
  for (const auto& c : cases) {
    TWSDLItems wsdl(loader);
    wsdl.Location = core::FromUtf8(c.location);
    try {
      wsdl.Load();
      ADD_FAILURE() << c.location << " loaded";
    } catch (const Exception& e) {
      const std::wstring start = L"Unable to load WSDL File/Location: " + wsdl.Location + L".  Error [" + c.cause_start;
      EXPECT_EQ(e.Message().rfind(start, 0), 0u) << core::ToUtf8(e.Message());
      EXPECT_EQ(e.Message().back(), L']');
    }
    EXPECT_FALSE(wsdl.Active());
  }
}

TEST_F(WsdlQueries, ADocumentFromTheNetworkImportsOnlyFromTheNetwork) {
  testing_support::TempDir dir("tavwsdlremote");
  const std::string local = (dir.path() / "service.wsdl").string();
  std::ofstream(local, std::ios::binary) << Wsdl(kEndpoint);
  testing_support::HttpTestServer server([&](const testing_support::HttpReceived& r) {
    testing_support::HttpReply reply;
    auto import = [](const std::string& location) {
      return "<definitions xmlns=\"http://schemas.xmlsoap.org/wsdl/\"><import location=\"" + location +
             "\"/></definitions>";
    };
    if (r.RequestLine().rfind("GET /file", 0) == 0) reply.body = import(local);
    else if (r.RequestLine().rfind("GET /http", 0) == 0) reply.body = import(server.Url("/service"));
    else reply.body = Wsdl(kEndpoint);
    return reply;
  });
  for (const char* path : {"/file", "/http"}) {
    TWSDLItems wsdl(loader);
    wsdl.Location = core::FromUtf8(server.Url(path));
    wsdl.Load();
    EXPECT_EQ(wsdl.GetServices().size(), std::string(path) == "/http" ? 1u : 0u) << path;
  }
  // A local document may import from the network, but what came from there
  // still may not lead back to a local file.
  const std::string root = (dir.path() / "root.wsdl").string();
  std::ofstream(root, std::ios::binary) << "<definitions xmlns=\"http://schemas.xmlsoap.org/wsdl/\"><import location=\"" +
                                               server.Url("/file") + "\"/></definitions>";
  TWSDLItems wsdl(loader);
  wsdl.Location = core::FromUtf8(root);
  wsdl.Load();
  EXPECT_TRUE(wsdl.GetServices().empty()) << "the nested local import was read";
  EXPECT_EQ(server.Requests().size(), 4u) << "the network document was fetched";
}

namespace {

std::string ImportingDocument(const std::vector<std::string>& locations) {
  std::string text = "<definitions xmlns=\"http://schemas.xmlsoap.org/wsdl/\">";
  for (const auto& l : locations) text += "<import location=\"" + l + "\"/>";
  return text + "</definitions>";
}

}  // namespace

// A document without a service, whose imports fail or never answer: each
// import is tried once per load, and at most 32 are tried in all.
TEST_F(WsdlQueries, ImportsAreFetchedOncePerLoadAndEveryAttemptCounts) {
  testing_support::HttpTestServer server([](const testing_support::HttpReceived& r) {
    testing_support::HttpReply reply;
    reply.status = 404;
    reply.reason = "Not Found";
    if (r.RequestLine().rfind("GET /nested", 0) == 0) {
      reply.status = 200;
      reply.reason = "OK";
      reply.body = ImportingDocument({"http://127.0.0.1:1/a", "http://127.0.0.1:1/b"});
    }
    return reply;
  });
  std::vector<std::string> locations = {server.Url("/nested")};
  for (int i = 0; i < 100; ++i) locations.push_back(server.Url("/missing/" + std::to_string(i)));
  auto& wsdl = Load(ImportingDocument(locations));
  wsdl.Location = L"http://central:5660/wsdl/IcoKelvo";
  const std::wstring service = L"IcoKelvoservice", port = L"IcoKelvoPort";
  for (int call = 0; call < 2; ++call) {  // the queries of two calls
    int version = 1;
    EXPECT_EQ(wsdl.GetBindingForServicePort(service, port), L"");
    EXPECT_EQ(wsdl.GetSoapAddressForServicePort(service, port, version), L"");
    EXPECT_EQ(wsdl.GetSoapAction(L"tns:IcoKelvobinding", L"TestaConexao", version, 0), L"");
  }
  EXPECT_EQ(server.Requests().size(), 30u) << "32 attempts: 30 here, 2 to a closed port";
  Load(ImportingDocument(locations));  // a new load fetches again
  wsdl.GetServices();
  EXPECT_EQ(server.Requests().size(), 60u);
}

TEST_F(WsdlQueries, HungImportsEndWithTheBudget) {
  testing_support::HttpTestServer server(
      [](const testing_support::HttpReceived&) { return testing_support::HttpReply::Of(testing_support::HttpReply::Mode::Hang); });
  auto& wsdl = Load(ImportingDocument({server.Url("/a"), server.Url("/b"), server.Url("/c")}));
  loader.Transport().Cancellation().StartBudget(1500);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(wsdl.GetServices().empty());
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(ms, 5000) << "three hung imports took one budget";
  EXPECT_EQ(server.Requests().size(), 1u) << "no fetch starts once the budget is spent";
}

// Each document is within the limits of one; together they are not.
TEST_F(WsdlQueries, TheDocumentAndItsImportsShareOneSizeLimit) {
  // Half of what a tree may hold: one such document fits, two do not.
  const std::string filler = "<documentation>" + std::string(kMaxXmlTreeBytes / 4 - 64, 'x') + "</documentation>";
  const std::string service = Wsdl(kEndpoint, {{"IMPORTS", filler}});
  testing_support::HttpTestServer server([&](const testing_support::HttpReceived& r) {
    testing_support::HttpReply reply;
    if (r.RequestLine().rfind("GET /service", 0) == 0) reply.body = service;
    else reply.body = "<definitions xmlns=\"http://schemas.xmlsoap.org/wsdl/\">" + filler + "</definitions>";
    return reply;
  });
  EXPECT_EQ(Load(service).GetServices().size(), 1u) << "alone, the service document is taken";
  auto& wsdl = Load(ImportingDocument({server.Url("/big/1"), server.Url("/big/2"), server.Url("/service")}));
  wsdl.Location = L"http://central:5660/wsdl/IcoKelvo";
  EXPECT_TRUE(wsdl.GetServices().empty()) << "the import past the shared limit was kept";
  EXPECT_EQ(server.Requests().size(), 3u);
}
