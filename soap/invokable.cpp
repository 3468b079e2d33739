#include "soap/invokable.h"

#include <cwchar>

namespace soap {

const TTypeInfo& StringTypeInfo() {
  static const TTypeInfo info{TTypeKind::tkUString, L"string"};
  return info;
}

const TTypeInfo& IntegerTypeInfo() {
  static const TTypeInfo info{TTypeKind::tkInteger, L"Integer"};
  return info;
}

const TTypeInfo& DoubleTypeInfo() {
  static const TTypeInfo info{TTypeKind::tkFloat, L"Double"};
  return info;
}

std::wstring GUIDToString(const TGUID& g) {
  wchar_t buffer[40];
  std::swprintf(buffer, 40, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.D1), g.D2, g.D3, g.D4[0], g.D4[1], g.D4[2], g.D4[3], g.D4[4],
                g.D4[5], g.D4[6], g.D4[7]);
  return buffer;
}

void TInvContext::SetMethodInfo(const TIntfMethEntry& md) {
  params_.assign(md.Params.size(), nullptr);
  result_ = nullptr;
}

}  // namespace soap
