#pragma once
#include <string>

#include "soap/invokable.h"

namespace soap {

// What the converter needs of the proxy's WSDL selection.
class TWSDLViewLink {
 public:
  virtual ~TWSDLViewLink() = default;
  virtual void SetOperation(const std::wstring& operation, const TIntfMetaData& intf) = 0;
  // The namespace attribute of the operation's input soap:body in the
  // binding of the configured service and port; empty when the document
  // gives none. May raise the document's load error.
  virtual std::wstring RequestBodyNamespace(const std::wstring& operation_ext_name) = 0;
};

}  // namespace soap
