#pragma once
#include "soap/invoke_registry.h"
#include "soap/type_registry.h"

namespace soap {

// Both process-wide tables, created together on first use.
struct TProcessRegistries {
  TInvokableClassRegistry invocation;
  TRemotableTypeRegistry types;
};
TProcessRegistries& ProcessRegistries();

}  // namespace soap
