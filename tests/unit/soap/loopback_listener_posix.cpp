#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "loopback_listener.h"

namespace soap_test {

LoopbackListener::LoopbackListener() {
  int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(s, 8) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("loopback listener");
  socket_ = s;
  port_ = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() { ::close(static_cast<int>(socket_)); }

int LoopbackListener::Connections(int wait_ms) {
  int s = static_cast<int>(socket_);
  for (;;) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(s, &ready);
    timeval timeout{wait_ms / 1000, (wait_ms % 1000) * 1000};
    if (::select(s + 1, &ready, nullptr, nullptr, &timeout) <= 0) return connections_;
    int client = ::accept(s, nullptr, nullptr);
    if (client >= 0) ::close(client);
    ++connections_;
    wait_ms = 0;
  }
}

}  // namespace soap_test
