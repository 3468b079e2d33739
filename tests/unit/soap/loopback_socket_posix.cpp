#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "loopback_socket.h"

namespace soap_test::net {

Socket ListenLoopback(int& port) {
  int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(s, 16) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("loopback listener");
  port = ntohs(address.sin_port);
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

}  // namespace soap_test::net
