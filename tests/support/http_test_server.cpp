#include "http_test_server.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace testing_support {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

}  // namespace

std::vector<std::string> HttpReceived::HeaderLines() const {
  std::vector<std::string> lines;
  size_t at = head.find("\r\n");
  while (at != std::string::npos && at + 2 < head.size()) {
    size_t end = head.find("\r\n", at + 2);
    std::string line = head.substr(at + 2, end == std::string::npos ? std::string::npos : end - at - 2);
    if (line.empty()) break;
    // Blanks after a value are not part of it: WinHTTP writes "Name: " for an empty one.
    line.erase(line.find_last_not_of(" \t") + 1);
    lines.push_back(line);
    at = end;
  }
  return lines;
}

std::string HttpReceived::Header(const std::string& name) const {
  for (const auto& line : HeaderLines()) {
    size_t colon = line.find(':');
    if (colon != std::string::npos && Lower(line.substr(0, colon)) == Lower(name)) {
      size_t value = line.find_first_not_of(' ', colon + 1);
      return value == std::string::npos ? "" : line.substr(value);
    }
  }
  return "";
}

HttpTestServer::HttpTestServer(Handler handler, net::Family family) : handler_(std::move(handler)), family_(family) {
  listener_ = net::ListenLoopback(port_, family);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
  stopping_ = true;
  changed_.notify_all();
  acceptor_.join();
  {
    std::lock_guard lock(mutex_);
    for (net::Socket s : clients_) net::Shutdown(s);
  }
  for (auto& worker : workers_) worker.join();
  for (net::Socket s : clients_) net::Close(s);
  net::Close(listener_);
}

std::string HttpTestServer::Url(const std::string& path) const {
  const char* host = family_ == net::Family::IPv6 ? "[::1]" : "127.0.0.1";
  return "http://" + std::string(host) + ":" + std::to_string(port_) + path;
}

std::vector<HttpReceived> HttpTestServer::Requests() {
  std::lock_guard lock(mutex_);
  return received_;
}

bool HttpTestServer::WaitForRequests(size_t count, int wait_ms) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(wait_ms), [&] { return received_.size() >= count; });
}

void HttpTestServer::AcceptLoop() {
  while (!stopping_) {
    net::Socket client = net::Accept(listener_, 50);
    if (client == net::kNoSocket) continue;
    int number = ++connections_;
    std::lock_guard lock(mutex_);
    clients_.push_back(client);
    ++open_;
    workers_.emplace_back([this, client, number] {
      Serve(client, number);
      net::Shutdown(client);  // the client sees the end at once; the socket is freed at the end
      --open_;
    });
  }
}

bool HttpTestServer::WaitForOpenConnections(int count, int wait_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  while (open_.load() > count) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

bool HttpTestServer::Pause(int ms) {
  std::unique_lock lock(mutex_);
  return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping_.load(); });
}

// Waits in short slices, since not every socket layer wakes a blocked
// receive when another thread shuts the socket down.
long HttpTestServer::ReceiveSome(net::Socket client, char* buffer, size_t size) {
  while (!stopping_)
    if (net::Readable(client, 50)) return net::Receive(client, buffer, size);
  return 0;
}

void HttpTestServer::Serve(net::Socket client, int number) {
  std::string pending;
  char buffer[65536];
  for (;;) {
    size_t head_end;
    while ((head_end = pending.find("\r\n\r\n")) == std::string::npos) {
      long n = ReceiveSome(client, buffer, sizeof buffer);
      if (n <= 0) return;
      pending.append(buffer, static_cast<size_t>(n));
    }
    HttpReceived request;
    request.connection = number;
    request.head = pending.substr(0, head_end + 2);
    pending.erase(0, head_end + 4);
    const size_t length = std::strtoul(request.Header("Content-Length").c_str(), nullptr, 10);
    while (pending.size() < length) {
      long n = ReceiveSome(client, buffer, sizeof buffer);
      if (n <= 0) return;
      pending.append(buffer, static_cast<size_t>(n));
    }
    request.body = pending.substr(0, length);
    pending.erase(0, length);
    HttpReply reply;
    {
      std::lock_guard lock(handler_mutex_);
      reply = handler_(request);
    }
    {
      std::lock_guard lock(mutex_);
      received_.push_back(request);
    }
    changed_.notify_all();
    if (!Answer(client, reply) || Lower(request.Header("Connection")) == "close") return;
  }
}

bool HttpTestServer::Answer(net::Socket client, const HttpReply& reply) {
  using Mode = HttpReply::Mode;
  if (reply.mode == Mode::Close) return false;
  if (reply.mode == Mode::Hang) {
    while (Pause(50)) {
    }
    return false;
  }
  std::string head = reply.status_line.empty()
                         ? "HTTP/1.1 " + std::to_string(reply.status) + " " + reply.reason + "\r\n"
                         : reply.status_line + "\r\n";
  if (reply.mode == Mode::HeadDrip || reply.mode == Mode::HeadFlood) {
    if (!net::SendAll(client, head)) return false;
    const std::string line = "X-Filler: " + std::string(reply.mode == Mode::HeadFlood ? 1000 : 8, 'y') + "\r\n";
    const std::string flood = [&] {
      std::string lines;
      for (int i = 0; i < 64; ++i) lines += line;
      return lines;
    }();
    while (!stopping_) {
      if (reply.mode == Mode::HeadDrip && !Pause(reply.drip_ms)) return false;
      if (!net::SendAll(client, reply.mode == Mode::HeadFlood ? flood : line)) return false;
    }
    return false;
  }
  if (!reply.content_type.empty()) head += "Content-Type: " + reply.content_type + "\r\n";
  head += reply.mode == Mode::Endless ? "Transfer-Encoding: chunked\r\n"
                                      : "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
  head += "\r\n";
  // A normal answer goes out in one write: head and body apart would wait
  // for the client's delayed acknowledgement (Nagle), 40 ms an answer.
  if (reply.mode == Mode::Normal) return net::SendAll(client, head + reply.body);
  if (!net::SendAll(client, head)) return false;
  switch (reply.mode) {
    case Mode::Drip:
      for (char c : reply.body)
        if (!Pause(reply.drip_ms) || !net::SendAll(client, std::string_view(&c, 1))) return false;
      return true;
    case Mode::Endless: {
      const std::string chunk = "10000\r\n" + std::string(0x10000, 'x') + "\r\n";
      while (!stopping_ && net::SendAll(client, chunk)) {
      }
      return false;
    }
    default: return false;
  }
}

}  // namespace testing_support
