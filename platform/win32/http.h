#pragma once
#include "platform/http.h"

namespace platform::win32 {

class WinHttpClient : public Http {
 public:
  core::Result<HttpUrl> crack_url(const std::wstring& url) override;
  core::Result<std::unique_ptr<HttpConnection>> connect(const HttpConnectOptions& options) override;
  std::wstring error_text(uint32_t code) override;
};

}  // namespace platform::win32
