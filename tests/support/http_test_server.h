#pragma once
// A real HTTP/1.1 server on 127.0.0.1 for the web client's tests: it records
// what it receives and answers as the test says, including never, slowly, or
// without end. Keep-alive connections are served until the client leaves.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loopback_socket.h"

namespace testing_support {

struct HttpReply {
  enum class Mode {
    Normal,
    Hang,     // reads the request and says nothing
    Drip,     // the head, then the body one byte every drip_ms
    Endless,  // a chunked body that never ends
    Close,    // closes the connection without a word
    HeadDrip,   // the status line, then a header line every drip_ms, never ending
    HeadFlood,  // the status line, then header lines as fast as they go
  };
  int status = 200;
  std::string reason = "OK";
  std::string status_line;  // when set, sent as it is instead of status and reason
  std::string content_type = "text/xml; charset=utf-8";
  std::string body;
  Mode mode = Mode::Normal;
  int drip_ms = 200;

  static HttpReply Of(Mode mode) {
    HttpReply reply;
    reply.mode = mode;
    return reply;
  }
};

struct HttpReceived {
  std::string head;  // request line and header lines, as received
  std::string body;
  int connection = 0;  // 1 for the first TCP connection, and so on
  std::string RequestLine() const { return head.substr(0, head.find("\r\n")); }
  // Every header line, in order, without the request line.
  std::vector<std::string> HeaderLines() const;
  // The value of the first header of that name (any case), or "".
  std::string Header(const std::string& name) const;
};

class HttpTestServer {
 public:
  using Handler = std::function<HttpReply(const HttpReceived&)>;
  explicit HttpTestServer(Handler handler, net::Family family = net::Family::IPv4);
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  int port() const { return port_; }
  std::string Url(const std::string& path) const;
  std::vector<HttpReceived> Requests();
  int Connections() const { return connections_.load(); }
  // Connections the server still serves (the client has not left).
  int OpenConnections() const { return open_.load(); }
  // Waits until at most `count` connections are open (or the time is up).
  bool WaitForOpenConnections(int count, int wait_ms);
  // Changes what the handler reads while a server thread may be running it.
  void WhileHandlerHeld(const std::function<void()>& change) {
    std::lock_guard lock(handler_mutex_);
    change();
  }
  // Waits until `count` requests arrived (or the time is up).
  bool WaitForRequests(size_t count, int wait_ms);

 private:
  void AcceptLoop();
  long ReceiveSome(net::Socket client, char* buffer, size_t size);
  void Serve(net::Socket client, int number);
  bool Answer(net::Socket client, const HttpReply& reply);
  bool Pause(int ms);

  Handler handler_;
  std::mutex handler_mutex_;
  net::Socket listener_ = net::kNoSocket;
  int port_ = 0;
  net::Family family_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::atomic<int> open_{0};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<HttpReceived> received_;
  std::vector<net::Socket> clients_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

}  // namespace testing_support
