#include "loopback_listener.h"

#include "loopback_socket.h"

namespace testing_support {

LoopbackListener::LoopbackListener() : socket_(net::ListenLoopback(port_)) {}

LoopbackListener::~LoopbackListener() { net::Close(socket_); }

int LoopbackListener::Connections(int wait_ms) {
  for (net::Socket client; (client = net::Accept(socket_, wait_ms)) != net::kNoSocket; wait_ms = 0) {
    net::Close(client);
    ++connections_;
  }
  return connections_;
}

}  // namespace testing_support
