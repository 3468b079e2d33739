#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>

#include "loopback_socket.h"

namespace testing_support::net {

namespace {
struct WinsockUser {
  WinsockUser() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};
}  // namespace

Socket ListenLoopback(int& port, Family family) {
  static WinsockUser winsock;
  const bool v6 = family == Family::IPv6;
  SOCKET s = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
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
  int length = v6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
  if (s == INVALID_SOCKET || ::bind(s, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(s, 16) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("loopback listener");
  port = ntohs(v6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port : reinterpret_cast<sockaddr_in&>(address).sin_port);
  return static_cast<Socket>(s);
}

Socket Accept(Socket listener, int wait_ms) {
  SOCKET s = static_cast<SOCKET>(listener);
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(s, &ready);
  timeval timeout{wait_ms / 1000, (wait_ms % 1000) * 1000};
  if (::select(0, &ready, nullptr, nullptr, &timeout) <= 0) return kNoSocket;
  SOCKET client = ::accept(s, nullptr, nullptr);
  return client == INVALID_SOCKET ? kNoSocket : static_cast<Socket>(client);
}

bool Readable(Socket s, int wait_ms) {
  SOCKET fd = static_cast<SOCKET>(s);
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(fd, &ready);
  timeval timeout{wait_ms / 1000, (wait_ms % 1000) * 1000};
  return ::select(0, &ready, nullptr, nullptr, &timeout) > 0;
}

long Receive(Socket s, char* buffer, size_t size) {
  return ::recv(static_cast<SOCKET>(s), buffer, static_cast<int>(size), 0);
}

bool SendAll(Socket s, std::string_view bytes) {
  while (!bytes.empty()) {
    int sent = ::send(static_cast<SOCKET>(s), bytes.data(), static_cast<int>(bytes.size()), 0);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

void Shutdown(Socket s) { ::shutdown(static_cast<SOCKET>(s), SD_BOTH); }
void Close(Socket s) { ::closesocket(static_cast<SOCKET>(s)); }

}  // namespace testing_support::net
