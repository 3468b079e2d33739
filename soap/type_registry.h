#pragma once
// The schema type map: which XML Schema type stands for which native type,
// and which classes are registered under a schema type.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "soap/invokable.h"
#include "soap/soap_exceptions.h"

namespace soap {

inline constexpr wchar_t kXMLSchemaNamespace[] = L"http://www.w3.org/2001/XMLSchema";

// A class that a schema type can name; faults are the only kind this client
// decodes into classes.
struct TRemotableClassInfo {
  std::wstring Name;
  std::function<std::unique_ptr<ERemotableException>(const std::wstring& message)> CreateFault;
  bool IsRemotableException() const { return static_cast<bool>(CreateFault); }
};

struct TXSInfo {
  std::wstring URI;
  std::wstring Name;
};

class TRemotableTypeRegistry {
 public:
  TRemotableTypeRegistry();  // with the built-in rows

  void RegisterXSInfo(const TTypeInfo* info, const std::wstring& uri, const std::wstring& name,
                      const std::wstring& ext_name = L"");
  void RegisterXSClass(const TRemotableClassInfo* cls, const std::wstring& uri,
                       const std::wstring& name);
  // The first row registered for the type; an unknown scalar gets the row
  // ("urn:", its own name) on first lookup.
  TXSInfo TypeInfoToXSD(const TTypeInfo* info);
  const TRemotableClassInfo* URIToClass(const std::wstring& uri, const std::wstring& name) const;

 private:
  struct Row {
    const TTypeInfo* native;
    const TRemotableClassInfo* cls;
    std::wstring uri, name, ext_name;
  };
  mutable std::mutex mutex_;
  std::vector<Row> rows_;
};

// The process-wide map; created on first use together with the invocation
// registry.
TRemotableTypeRegistry& RemTypeRegistry();

}  // namespace soap
