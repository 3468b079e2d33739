// platform/connectivity.h on the network list manager (COM, netlistmgr).
// The machine's network state from the network list manager, which, unlike
// the WinInet check, is meant to be asked from a service.
#include <windows.h>
#include <netlistmgr.h>

#include "platform/win32/connectivity.h"

namespace platform::win32 {
namespace {

// Any address-level connection counts, the local network included, as
// the LAN check it replaces did; an interface with no traffic does not.
constexpr int kConnected = NLM_CONNECTIVITY_IPV4_SUBNET | NLM_CONNECTIVITY_IPV4_LOCALNETWORK |
                           NLM_CONNECTIVITY_IPV4_INTERNET | NLM_CONNECTIVITY_IPV6_SUBNET |
                           NLM_CONNECTIVITY_IPV6_LOCALNETWORK | NLM_CONNECTIVITY_IPV6_INTERNET;

// COM for the calling thread for one call; a thread that already has it
// in another mode keeps it.
class ComForThisCall {
 public:
  ComForThisCall() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComForThisCall() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComForThisCall(const ComForThisCall&) = delete;
  ComForThisCall& operator=(const ComForThisCall&) = delete;
  bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

core::Status Failure(HRESULT hr) { return core::Status::SystemError(static_cast<uint32_t>(hr)); }

}  // namespace

core::Result<bool> NetworkListConnectivity::connected() {
  ComForThisCall com;
  if (!com.usable()) return Failure(com.result());
  INetworkListManager* manager = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_NetworkListManager, nullptr, CLSCTX_ALL, IID_INetworkListManager,
                                reinterpret_cast<void**>(&manager));
  if (FAILED(hr)) return Failure(hr);
  NLM_CONNECTIVITY connectivity = NLM_CONNECTIVITY_DISCONNECTED;
  hr = manager->GetConnectivity(&connectivity);
  manager->Release();
  if (FAILED(hr)) return Failure(hr);
  return (connectivity & kConnected) != 0;
}

}  // namespace platform::win32
