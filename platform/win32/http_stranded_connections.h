#pragma once
// WinHTTP exchanges whose caller has left while their worker thread is still
// inside WinHTTP. Wine's WinHTTP ends neither a blocked call nor its
// connection when the request handle is closed, in the synchronous and the
// asynchronous mode alike, so a server that sends its head one line a second
// kept a thread and a connection for as long as it liked. The connection is
// ended from outside instead, and no new exchange with that server starts
// while a stranded one still holds one.
#include <cstdint>
#include <string>

namespace platform::win32 {

class StrandedExchanges {
 public:
  static StrandedExchanges& Instance();
  // Registers a stranded worker and shuts down the connections to the
  // server, which ends the WinHTTP call blocked on one.
  void Strand(const std::wstring& host, uint16_t port);
  void Release(const std::wstring& host, uint16_t port);
  // Waits up to `wait_ms` for the stranded workers of that server to end.
  bool WaitUntilNone(const std::wstring& host, uint16_t port, uint32_t wait_ms);
};

}  // namespace platform::win32
