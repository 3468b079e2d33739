#pragma once
// The module's proxy to the central web service, made of the web client's
// THTTPRIO.
#include <memory>

#include "backup/kelvo_proxy.h"

namespace app {

std::unique_ptr<backup::IKelvoProxy> MakeKelvoProxy();

}  // namespace app
