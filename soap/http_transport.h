#pragma once
// The HTTP transport of the SOAP proxy: posts one request body per call to
// the endpoint and hands the raw answer back; fetches WSDL documents by GET.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/status.h"
#include "platform/http.h"
#include "soap/invokable.h"
#include "soap/option_set.h"
#include "soap/soap_exceptions.h"

namespace soap {

class TWSDLView;
class TInvokableClassRegistry;

// The transport's failure: a message and the HTTP status when the failure is
// an HTTP answer, else 0.
class ESOAPHTTPException : public Exception {
 public:
  explicit ESOAPHTTPException(std::wstring message, int status_code = 0)
      : Exception(std::move(message)), StatusCode(status_code) {}
  std::wstring ClassName() const override { return L"ESOAPHTTPException"; }
  int StatusCode;
};

enum class SOAPInvokeOption {
  soNoValueForEmptySOAPAction, soIgnoreInvalidCerts, soNoSOAPActionHeader, soAutoCheckAccessPointViaUDDI,
  soPickFirstClientCertificate
};
enum class WebNodeOption { wnoSOAP12 };

using TSOAPInvokeOptions = TOptionSet<SOAPInvokeOption>;
using TWebNodeOptions = TOptionSet<WebNodeOption>;

enum class TWebServiceBindingType { btSoap, btMime };

// Prepares the parts of a call that carries attachments.
class IMimeAttachmentHandler {
 public:
  virtual ~IMimeAttachmentHandler() = default;
  virtual std::wstring GetMIMEBoundary() = 0;
  virtual void AddSoapHeader(const std::wstring& line) = 0;
};

class IWebNode {
 public:
  virtual ~IWebNode() = default;
  // DataMsg goes out as UTF-8.
  virtual void Execute(const std::wstring& DataMsg, std::string& Resp) = 0;
  virtual void BeforeExecute(const TIntfMetaData& IntfMD, const TIntfMethEntry& MethMD, int MethodIndex,
                             IMimeAttachmentHandler* AttachHandler) = 0;
  // Posts Request and appends the answer's body to Response.
  virtual void Execute(std::string_view Request, std::string& Response) = 0;
  virtual std::string Execute(std::string_view Request) = 0;
  virtual std::wstring GetMimeBoundary() const = 0;
  virtual void SetMimeBoundary(const std::wstring& boundary) = 0;
  virtual TWebNodeOptions GetWebNodeOptions() const = 0;
  virtual void SetWebNodeOptions(TWebNodeOptions options) = 0;
};

class THTTPReqResp;
class IHTTPReqResp {
 public:
  virtual ~IHTTPReqResp() = default;
  virtual THTTPReqResp& GetHTTPReqResp() = 0;
};

// Shared by the transports of one proxy, so that a cancellation reaches the
// exchange in flight whichever of them carries it, and so that a budget
// bounds all exchanges of one poll together. Thread-safe.
class THTTPCancellation {
 public:
  void Cancel();
  void Reset();
  // Registers the exchange in flight; raises EAbort when cancelled.
  void Enter(platform::HttpRequest* request);
  void Leave(platform::HttpRequest* request);
  // From now on, until EndBudget, the exchanges together last at most `ms`
  // of the host's monotonic clock, the one the timers run on.
  void StartBudget(uint32_t ms);
  void EndBudget();
  // Milliseconds left of the budget (UINT32_MAX without one; 0 when spent).
  uint32_t BudgetLeft();

 private:
  std::mutex mutex_;
  bool cancelled_ = false;
  platform::HttpRequest* current_ = nullptr;
  bool budgeted_ = false;
  uint64_t budget_end_ = 0;  // monotonic milliseconds
};

// Largest answer body taken, checked while reading: the XML reader's cap.
size_t MaxResponseBodyBytes();

class THTTPReqResp : public IWebNode, public IHTTPReqResp {
 public:
  THTTPReqResp();
  ~THTTPReqResp() override;
  THTTPReqResp(const THTTPReqResp&) = delete;
  THTTPReqResp& operator=(const THTTPReqResp&) = delete;

  // Configuration, with the defaults of the service's proxy.
  std::wstring Agent = L"Pelmirax SOAP 1.3";
  std::wstring ProxyByPass;
  bool UseUTF8InHeader = true;
  TSOAPInvokeOptions InvokeOptions{SOAPInvokeOption::soIgnoreInvalidCerts,
                                   SOAPInvokeOption::soAutoCheckAccessPointViaUDDI};
  std::wstring UDDIOperator;
  std::wstring UDDIBindingKey;
  TWSDLView* WSDLView = nullptr;
  // Milliseconds; 0 keeps this transport's finite default.
  int ConnectTimeout = 0;
  int SendTimeout = 0;
  int ReceiveTimeout = 0;
  // The whole exchange, from opening the request to the answer's last byte.
  int ExchangeDeadline = 0;
  int MaxSinglePostSize = 32768;

  // An explicit endpoint: drops the connection.
  void SetURL(const std::wstring& url);
  // The endpoint read from the WSDL: keeps the connection.
  void SetResolvedURL(const std::wstring& url);
  const std::wstring& URL() const { return url_; }
  bool UserSetURL() const { return user_set_url_; }
  // Empty reads back as "\"\"" unless soNoValueForEmptySOAPAction is set.
  std::wstring SoapAction() const;
  void SetSoapAction(const std::wstring& action) { soap_action_ = action; }
  const std::wstring& UserName() const { return user_name_; }
  void SetUserName(const std::wstring& value);
  const std::wstring& Password() const { return password_; }
  void SetPassword(const std::wstring& value);
  const std::wstring& Proxy() const { return proxy_; }
  void SetProxy(const std::wstring& value);
  const std::wstring& ContentType() const { return content_type_; }
  bool Connected() const { return connection_ != nullptr; }

  void SetCancellation(std::shared_ptr<THTTPCancellation> cancellation) { cancellation_ = std::move(cancellation); }
  THTTPCancellation& Cancellation() { return *cancellation_; }

  // IWebNode
  void Execute(const std::wstring& DataMsg, std::string& Resp) override;
  void BeforeExecute(const TIntfMetaData& IntfMD, const TIntfMethEntry& MethMD, int MethodIndex,
                     IMimeAttachmentHandler* AttachHandler) override;
  void Execute(std::string_view Request, std::string& Response) override;
  std::string Execute(std::string_view Request) override;
  std::wstring GetMimeBoundary() const override { return mime_boundary_; }
  void SetMimeBoundary(const std::wstring& boundary) override { mime_boundary_ = boundary; }
  TWebNodeOptions GetWebNodeOptions() const override { return web_node_options_; }
  void SetWebNodeOptions(TWebNodeOptions options) override { web_node_options_ = options; }
  THTTPReqResp& GetHTTPReqResp() override { return *this; }

  // GET of URL, its body appended to Resp; always disconnects at the end.
  void Get(std::string& Resp);

 private:
  class Exchange;
  void ParseURL(const std::wstring& url);
  void Connect();
  void Disconnect();
  platform::HttpLimits Limits(uint32_t budget_left) const;
  // How long the exchange may take in all: its deadline, within the budget.
  uint32_t ExchangeLength(uint32_t budget_left) const;
  // Raises, before anything is sent, for a value that would split the line.
  void CheckHeaderValue(const wchar_t* name, const std::wstring& value) const;
  void SendAndReceive(platform::HttpRequest& request, std::string_view body, std::string& response, bool is_get);
  std::unique_ptr<platform::HttpRequest> OpenRequest(const std::wstring& verb);
  core::Status SendBody(platform::HttpRequest& request, std::string_view body);
  void AddHeaderLines(platform::HttpRequest& request);
  std::wstring SOAPActionLine() const;
  void Receive(platform::HttpRequest& request, std::string& response, bool is_get);
  // The answer of the error policy: true to send again.
  bool ResendAfter(const core::Status& failure, int& resends);
  [[noreturn]] void RaiseFailure(const core::Status& failure) const;
  void Check(const core::Status& status) const {
    if (!status.ok()) RaiseFailure(status);
  }
  template <class T>
  T Check(core::Result<T> result) const {
    if (!result.ok()) RaiseFailure(result.status());
    return std::move(result.value());
  }
  void ResolveEndpoint(const TIntfMetaData& intf, const TIntfMethEntry& method, int method_index);
  std::wstring ActionURI(const TIntfMetaData& intf, const TIntfMethEntry& method, int method_index) const;

  std::wstring url_, url_host_, url_site_;
  uint16_t url_port_ = 0;
  bool url_secure_ = false;
  bool user_set_url_ = false;
  std::wstring soap_action_;
  std::wstring user_name_, password_, proxy_;
  TWebNodeOptions web_node_options_;
  TWebServiceBindingType binding_type_ = TWebServiceBindingType::btSoap;
  std::wstring mime_boundary_;
  std::wstring content_type_;
  std::unique_ptr<platform::HttpConnection> connection_;
  std::shared_ptr<THTTPCancellation> cancellation_;
  // A send failure answered with "proceed", reported when the answer is read.
  core::Status deferred_failure_;
};

}  // namespace soap
