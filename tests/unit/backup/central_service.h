#pragma once
// The central web service on loopback for the module's tests, and the real
// HTTP client with the WSDL's fixed port sent to it.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "support/http_test_server.h"
#include "platform/http.h"
#include "support/response_envelope.h"
#include "support/wsdl_documents.h"

namespace backup_test {

// The central web service on loopback: the WSDL document, then the calls,
// answered or left hanging.
class CentralService {
 public:
  CentralService() : server_([this](const testing_support::HttpReceived& r) { return Serve(r); }) {}
  void Request(const std::string& busca) {
    std::lock_guard lock(mutex_);
    busca_ = busca;
  }
  void Hang() { hang_ = true; }
  int port() const { return server_.port(); }
  testing_support::HttpTestServer& server() { return server_; }
  // The SOAPAction of every call received, in order.
  std::vector<std::string> Actions() {
    std::vector<std::string> actions;
    for (const auto& r : server_.Requests())
      if (r.RequestLine().rfind("POST ", 0) == 0) actions.push_back(r.Header("SOAPAction"));
    return actions;
  }

 private:
  testing_support::HttpReply Serve(const testing_support::HttpReceived& r) {
    testing_support::HttpReply reply;
    if (r.RequestLine().rfind("GET ", 0) == 0) {
      reply.body = testing_support::Wsdl(server_.Url("/soap/IcoKelvo"));
    } else if (hang_) {
      reply.mode = testing_support::HttpReply::Mode::Hang;
    } else if (r.Header("SOAPAction").find("TestaConexao") != std::string::npos) {
      reply.body = testing_support::ResponseEnvelope("TestaConexao", "OK");
    } else {
      std::lock_guard lock(mutex_);
      reply.body = testing_support::ResponseEnvelope("BuscaSolic", busca_);
    }
    return reply;
  }

  std::mutex mutex_;
  std::string busca_;
  std::atomic<bool> hang_{false};
  testing_support::HttpTestServer server_;
};

// The real HTTP client, with connections to the WSDL's fixed port 5660
// sent to the loopback central service instead, so that tests running side
// by side never compete for that port.
class RedirectedHttp : public platform::Http {
 public:
  RedirectedHttp(platform::Http& real, int port) : real_(real), port_(static_cast<uint16_t>(port)) {}
  core::Result<platform::HttpUrl> crack_url(const std::wstring& url) override { return real_.crack_url(url); }
  core::Result<std::unique_ptr<platform::HttpConnection>> connect(const platform::HttpConnectOptions& options) override {
    platform::HttpConnectOptions redirected = options;
    if (options.port == 5660) {
      redirected.host = L"127.0.0.1";
      redirected.port = port_;
    }
    return real_.connect(redirected);
  }
  std::wstring error_text(uint32_t code) override { return real_.error_text(code); }

 private:
  platform::Http& real_;
  uint16_t port_;
};

}  // namespace backup_test
