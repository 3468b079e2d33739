#pragma once
#include <memory>
#include <string>

#include "core/exceptions.h"

namespace soap {

using core::Exception;

TAV_EXCEPTION_CLASS(ESOAPDomConvertError, Exception);
TAV_EXCEPTION_CLASS(EDOMParseError, Exception);
TAV_EXCEPTION_CLASS(EXMLDocError, Exception);
TAV_EXCEPTION_CLASS(DOMException, Exception);

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
