#pragma once
#include <memory>
#include <string>

#include "core/exceptions.h"
#include "core/format.h"

namespace soap {

using core::Exception;

TAV_EXCEPTION_CLASS(ESOAPDomConvertError, Exception);
TAV_EXCEPTION_CLASS(EDOMParseError, Exception);
TAV_EXCEPTION_CLASS(EXMLDocError, Exception);
TAV_EXCEPTION_CLASS(DOMException, Exception);

// A value of a type the encoding cannot carry, in either direction.
[[noreturn]] inline void RaiseUnsupportedType(const std::wstring& type_name) {
  throw ESOAPDomConvertError(core::Format(
      L"Datatype of TypeKind: %s not supported as argument for remote invocation", {type_name}));
}

// A SOAP fault sent by the server; the message is the fault's reason.
class ERemotableException : public core::Exception {
 public:
  using core::Exception::Exception;
  std::wstring ClassName() const override { return L"ERemotableException"; }
  const std::wstring& FaultReason() const { return Message(); }

  std::wstring FaultActor;
  std::wstring FaultCode;
  std::wstring FaultDetail;
  std::wstring FaultReasonLang;
  std::wstring FaultNode;
  std::wstring FaultRole;

  // Throws this object as its most derived class.
  [[noreturn]] virtual void Raise() const { throw *this; }
};

}  // namespace soap
