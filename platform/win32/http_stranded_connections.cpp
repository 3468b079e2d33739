#include "platform/win32/http_stranded_connections.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

namespace platform::win32 {

namespace {

std::mutex mutex;
std::condition_variable changed;
std::map<std::wstring, int> stranded;  // by "host:port"

std::wstring Key(const std::wstring& host, uint16_t port) { return host + L":" + std::to_wstring(port); }

bool SameAddress(const sockaddr_storage& a, const sockaddr* b) {
  if (a.ss_family != b->sa_family) return false;
  if (a.ss_family == AF_INET) {
    const auto& x = reinterpret_cast<const sockaddr_in&>(a);
    const auto& y = *reinterpret_cast<const sockaddr_in*>(b);
    return x.sin_port == y.sin_port && x.sin_addr.s_addr == y.sin_addr.s_addr;
  }
  if (a.ss_family == AF_INET6) {
    const auto& x = reinterpret_cast<const sockaddr_in6&>(a);
    const auto& y = *reinterpret_cast<const sockaddr_in6*>(b);
    return x.sin6_port == y.sin6_port && memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0;
  }
  return false;
}

// WinHTTP does not hand out its sockets: the process's socket handles are
// searched for those connected to the server. An idle pooled connection to
// it may go too; WinHTTP opens a new one when it finds it dead.
void ShutDownConnectionsTo(const std::wstring& host, uint16_t port) {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) return;
  ADDRINFOW hints{};
  hints.ai_socktype = SOCK_STREAM;
  ADDRINFOW* found = nullptr;
  const bool bracketed = host.size() > 2 && host.front() == L'[' && host.back() == L']';
  const std::wstring name = bracketed ? host.substr(1, host.size() - 2) : host;
  if (GetAddrInfoW(name.c_str(), std::to_wstring(port).c_str(), &hints, &found) != 0) return;
  std::vector<sockaddr_storage> servers;
  for (ADDRINFOW* a = found; a; a = a->ai_next) {
    sockaddr_storage s{};
    memcpy(&s, a->ai_addr, std::min(sizeof s, static_cast<size_t>(a->ai_addrlen)));
    servers.push_back(s);
  }
  FreeAddrInfoW(found);
  for (UINT_PTR handle = 4; handle < 0x10000; handle += 4) {
    sockaddr_storage peer{};
    int length = sizeof peer;
    if (getpeername(static_cast<SOCKET>(handle), reinterpret_cast<sockaddr*>(&peer), &length) != 0) continue;
    for (const auto& server : servers)
      if (SameAddress(server, reinterpret_cast<const sockaddr*>(&peer))) {
        // Under Wine a shutdown ends the connection but does not wake a
        // receive already waiting on it; cancelling its I/O does.
        shutdown(static_cast<SOCKET>(handle), SD_BOTH);
        CancelIoEx(reinterpret_cast<HANDLE>(handle), nullptr);
        break;
      }
  }
}

}  // namespace

StrandedExchanges& StrandedExchanges::Instance() {
  static StrandedExchanges instance;
  return instance;
}

void StrandedExchanges::Strand(const std::wstring& host, uint16_t port) {
  {
    std::lock_guard lock(mutex);
    ++stranded[Key(host, port)];
  }
  ShutDownConnectionsTo(host, port);
}

void StrandedExchanges::Release(const std::wstring& host, uint16_t port) {
  std::lock_guard lock(mutex);
  auto at = stranded.find(Key(host, port));
  if (at != stranded.end() && --at->second <= 0) stranded.erase(at);
  changed.notify_all();
}

bool StrandedExchanges::WaitUntilNone(const std::wstring& host, uint16_t port, uint32_t wait_ms) {
  std::unique_lock lock(mutex);
  return changed.wait_for(lock, std::chrono::milliseconds(wait_ms),
                          [&] { return stranded.find(Key(host, port)) == stranded.end(); });
}

}  // namespace platform::win32
