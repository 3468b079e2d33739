#pragma once
#include "soap/invokable.h"

namespace soap {

// Carries one operation call: the proxy points the context at the caller's
// arguments and result and hands it over with the method number.
class TCallSequence {
 public:
  virtual ~TCallSequence() = default;
  virtual void Invoke(const TIntfMetaData& intf, int method_number, TInvContext& context) = 0;
};

// Base of every remote interface.
class IInvokable {
 public:
  virtual ~IInvokable() = default;
};

}  // namespace soap
