#pragma once
#include <memory>
#include <string>
#include <vector>

#include "soap/type_registry.h"
#include "soap/xml_tree.h"

namespace soap {

// An outbound header object writes itself as a child of Header.
class TSOAPHeader {
 public:
  virtual ~TSOAPHeader() = default;
  virtual void ToXml(XmlNode& header_element) const = 0;
};
using TSOAPHeaders = std::vector<std::shared_ptr<const TSOAPHeader>>;

// An inbound header entry that a registered header class accepted.
struct TReceivedHeader {
  const TRemotableClassInfo* Class = nullptr;
  std::wstring Name, Namespace, Xml;
};
using TReceivedHeaders = std::vector<TReceivedHeader>;

}  // namespace soap
