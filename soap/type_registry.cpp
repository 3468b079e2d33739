#include "soap/type_registry.h"

#include "soap/invoke_registry.h"
#include "soap/process_registries.h"

namespace soap {
namespace {

// Native types of the built-in rows that the contract never uses; they
// exist so the map answers like a complete one.
const TTypeInfo kBoolean{TTypeKind::tkEnumeration, L"Boolean"};
const TTypeInfo kByte{TTypeKind::tkInteger, L"Byte"};
const TTypeInfo kShortInt{TTypeKind::tkInteger, L"ShortInt"};
const TTypeInfo kSmallInt{TTypeKind::tkInteger, L"SmallInt"};
const TTypeInfo kWord{TTypeKind::tkInteger, L"Word"};
const TTypeInfo kCardinal{TTypeKind::tkInteger, L"Cardinal"};
const TTypeInfo kInt64{TTypeKind::tkInt64, L"Int64"};
const TTypeInfo kSingle{TTypeKind::tkFloat, L"Single"};
const TTypeInfo kExtended{TTypeKind::tkFloat, L"Extended"};
const TTypeInfo kDateTime{TTypeKind::tkFloat, L"TDateTime"};
const TTypeInfo kByteDynArray{TTypeKind::tkDynArray, L"TByteDynArray"};

}  // namespace

TRemotableTypeRegistry::TRemotableTypeRegistry() {
  const std::wstring xsd = kXMLSchemaNamespace;
  rows_ = {
      {&StringTypeInfo(), nullptr, xsd, L"string", L""},
      {&IntegerTypeInfo(), nullptr, xsd, L"int", L""},
      {&DoubleTypeInfo(), nullptr, xsd, L"double", L""},
      {&kBoolean, nullptr, xsd, L"boolean", L""},
      {&kByte, nullptr, xsd, L"unsignedByte", L""},
      {&kShortInt, nullptr, xsd, L"byte", L""},
      {&kSmallInt, nullptr, xsd, L"short", L""},
      {&kWord, nullptr, xsd, L"unsignedShort", L""},
      {&kCardinal, nullptr, xsd, L"unsignedInt", L""},
      {&kInt64, nullptr, xsd, L"long", L""},
      {&kSingle, nullptr, xsd, L"float", L""},
      {&kExtended, nullptr, xsd, L"double", L""},
      {&kDateTime, nullptr, xsd, L"dateTime", L""},
      {&kByteDynArray, nullptr, xsd, L"base64Binary", L""},
  };
}

void TRemotableTypeRegistry::RegisterXSInfo(const TTypeInfo* info, const std::wstring& uri,
                                            const std::wstring& name, const std::wstring& ext_name) {
  std::lock_guard lock(mutex_);
  rows_.push_back({info, nullptr, uri, name, ext_name});
}

void TRemotableTypeRegistry::RegisterXSClass(const TRemotableClassInfo* cls, const std::wstring& uri,
                                             const std::wstring& name) {
  std::lock_guard lock(mutex_);
  rows_.push_back({nullptr, cls, uri, name, L""});
}

TXSInfo TRemotableTypeRegistry::TypeInfoToXSD(const TTypeInfo* info) {
  std::lock_guard lock(mutex_);
  for (const auto& row : rows_)
    if (row.native == info) return {row.uri, row.name};
  rows_.push_back({info, nullptr, L"urn:", info->Name, L""});
  return {L"urn:", info->Name};
}

const TRemotableClassInfo* TRemotableTypeRegistry::URIToClass(const std::wstring& uri,
                                                              const std::wstring& name) const {
  std::lock_guard lock(mutex_);
  for (const auto& row : rows_)
    if (row.cls && row.uri == uri && row.name == name) return row.cls;
  return nullptr;
}

TRemotableTypeRegistry& RemTypeRegistry() { return ProcessRegistries().types; }

}  // namespace soap
