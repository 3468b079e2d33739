#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "loopback_socket.h"

namespace testing_support::net {

Socket ListenLoopback(int& port, Family family) {
  const bool v6 = family == Family::IPv6;
  int s = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
  sockaddr_storage address{};
  if (v6) {
    auto& a = reinterpret_cast<sockaddr_in6&>(address);
    a.sin6_family = AF_INET6;
    a.sin6_addr = in6addr_loopback;
  } else {
    auto& a = reinterpret_cast<sockaddr_in&>(address);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  }
  socklen_t length = v6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
  if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(s, 16) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("loopback listener");
  port = ntohs(v6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port : reinterpret_cast<sockaddr_in&>(address).sin_port);
  return s;
}

Socket Accept(Socket listener, int wait_ms) {
  int s = static_cast<int>(listener);
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(s, &ready);
  timeval timeout{wait_ms / 1000, (wait_ms % 1000) * 1000};
  if (::select(s + 1, &ready, nullptr, nullptr, &timeout) <= 0) return kNoSocket;
  int client = ::accept(s, nullptr, nullptr);
  return client < 0 ? kNoSocket : client;
}

bool Readable(Socket s, int wait_ms) {
  int fd = static_cast<int>(s);
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(fd, &ready);
  timeval timeout{wait_ms / 1000, (wait_ms % 1000) * 1000};
  return ::select(fd + 1, &ready, nullptr, nullptr, &timeout) > 0;
}

long Receive(Socket s, char* buffer, size_t size) { return ::recv(static_cast<int>(s), buffer, size, 0); }

bool SendAll(Socket s, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t sent = ::send(static_cast<int>(s), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

void Shutdown(Socket s) { ::shutdown(static_cast<int>(s), SHUT_RDWR); }
void Close(Socket s) { ::close(static_cast<int>(s)); }

}  // namespace testing_support::net
