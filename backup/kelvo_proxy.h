#pragma once
// What the module and its poll need of the proxy to the central web service.
#include <memory>
#include <string>

#include "soap/IcoKelvo1.h"

namespace backup {

class IKelvoProxy {
 public:
  virtual ~IKelvoProxy() = default;
  // The interface for one poll; released when the last reference goes.
  virtual std::shared_ptr<soap::IcoKelvo> GetIcoKelvo() = 0;
  virtual void SetWSDLLocation(const std::wstring& url) = 0;
  // From any thread: ends the exchange in flight, and every later one until
  // Reset, with a failure.
  virtual void Cancel() = 0;
  virtual void Reset() = 0;
};

}  // namespace backup
