#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>

#include "loopback_listener.h"

namespace soap_test {

LoopbackListener::LoopbackListener() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (s == INVALID_SOCKET || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(s, 8) != 0 || ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("loopback listener");
  socket_ = static_cast<long long>(s);
  port_ = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() {
  ::closesocket(static_cast<SOCKET>(socket_));
  WSACleanup();
}

int LoopbackListener::Connections(int wait_ms) {
  SOCKET s = static_cast<SOCKET>(socket_);
  for (;;) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(s, &ready);
    timeval timeout{wait_ms / 1000, (wait_ms % 1000) * 1000};
    if (::select(0, &ready, nullptr, nullptr, &timeout) <= 0) return connections_;
    SOCKET client = ::accept(s, nullptr, nullptr);
    if (client != INVALID_SOCKET) ::closesocket(client);
    ++connections_;
    wait_ms = 0;
  }
}

}  // namespace soap_test
