#pragma once
// The few socket calls the loopback test servers need, one file per target.
#include <cstddef>
#include <string_view>

namespace testing_support::net {

using Socket = long long;
inline constexpr Socket kNoSocket = -1;

enum class Family { IPv4, IPv6 };

// A listening socket on 127.0.0.1 (or ::1) with an ephemeral port.
Socket ListenLoopback(int& port, Family family = Family::IPv4);
// A connected client, or kNoSocket when none arrived within wait_ms.
Socket Accept(Socket listener, int wait_ms);
// Whether bytes (or the peer's close) wait to be received, within wait_ms.
bool Readable(Socket s, int wait_ms);
// Bytes received; 0 when the peer closed, negative on failure.
long Receive(Socket s, char* buffer, size_t size);
bool SendAll(Socket s, std::string_view bytes);
// Wakes a thread blocked on the socket, without freeing it.
void Shutdown(Socket s);
void Close(Socket s);

}  // namespace testing_support::net
