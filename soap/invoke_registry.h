#pragma once
// The invocation registry: per remote interface its namespace, SOAPAction
// template, invoke options and the maps from declared names to wire names.
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "soap/invokable.h"
#include "soap/option_set.h"
#include "soap/type_registry.h"

namespace soap {

enum class TIntfInvokeOption {
  ioDefault, ioDocument, ioLiteral, ioHasDefaultSOAPAction, ioHasReturnParamNames,
  ioHasNamespace, ioIsAppServerSOAP, ioHasUDDIInfo, ioHasAllSOAPActions, ioSOAP12
};

using TIntfInvokeOptions = TOptionSet<TIntfInvokeOption>;

struct TUDDIInfo {
  std::wstring Operator;
  std::wstring BindingKey;
  bool Registered = false;
};

struct InvRegIntfEntry {
  std::wstring Name, ExtName, UnitName;
  TGUID GUID;
  const TTypeInfo* Info = nullptr;
  std::wstring Namespace, WSDLEncoding, Documentation, SOAPAction, ReturnParamNames;
  TIntfInvokeOptions InvokeOptions;
  std::vector<std::pair<std::wstring, std::wstring>> MethNameMap;
  struct ParamName {
    std::wstring Method, Param, ExtName;
  };
  std::vector<ParamName> MethParamNameMap;
  struct Header {
    const TRemotableClassInfo* Class;
    std::wstring Name, Namespace;
  };
  std::vector<Header> IntfHeaders;
  std::wstring UDDIOperator, UDDIBindingKey;
};

class TInvokableClassRegistry {
 public:
  // The first registration of an interface stands.
  void RegisterInterface(const TTypeInfo* intf, const std::wstring& namespace_uri,
                         const std::wstring& ext_name, const std::wstring& documentation,
                         const std::wstring& wsdl_encoding);
  void RegisterDefaultSOAPAction(const TTypeInfo* intf, const std::wstring& action);
  void RegisterAllSOAPActions(const TTypeInfo* intf, const std::wstring& actions);
  void RegisterReturnParamNames(const TTypeInfo* intf, const std::wstring& names);
  void RegisterInvokeOptions(const TTypeInfo* intf, TIntfInvokeOption option);
  void RegisterExternalMethName(const TTypeInfo* intf, const std::wstring& method,
                                const std::wstring& ext_name);
  void RegisterExternalParamName(const TTypeInfo* intf, const std::wstring& method,
                                 const std::wstring& param, const std::wstring& ext_name);
  void RegisterHeaderClass(const TTypeInfo* intf, const TRemotableClassInfo* cls,
                           const std::wstring& name, const std::wstring& namespace_uri);
  void RegisterUDDIInfo(const TTypeInfo* intf, const std::wstring& uddi_operator,
                        const std::wstring& binding_key);

  const TTypeInfo* GetInterfaceTypeInfo(const TGUID& iid) const;
  std::wstring GetNamespaceByGUID(const TGUID& iid) const;
  TIntfInvokeOptions GetIntfInvokeOptions(const TTypeInfo* intf) const;
  std::wstring GetMethExternalName(const TTypeInfo* intf, const std::wstring& method) const;
  std::wstring GetParamExternalName(const TTypeInfo* intf, const std::wstring& method,
                                    const std::wstring& param) const;
  std::wstring GetReturnParamNames(const TTypeInfo* intf) const;
  // `action` keeps the caller's value when the interface is not registered.
  void GetActionURIOfInfo(const TTypeInfo* intf, const std::wstring& method_ext_name,
                          int method_index, std::wstring& action) const;
  TUDDIInfo GetUDDIInfo(const TTypeInfo* intf) const;
  const TRemotableClassInfo* GetHeaderClass(const std::wstring& name,
                                            const std::wstring& namespace_uri) const;

 private:
  const InvRegIntfEntry* Find(const TTypeInfo* intf) const;
  InvRegIntfEntry* Find(const TTypeInfo* intf);
  const InvRegIntfEntry* FindByGUID(const TGUID& iid) const;
  // Registrations for an interface not registered yet are dropped.
  template <class Change>
  void Update(const TTypeInfo* intf, Change change) {
    std::lock_guard lock(mutex_);
    if (InvRegIntfEntry* e = Find(intf)) change(*e);
  }

  mutable std::mutex mutex_;
  std::vector<InvRegIntfEntry> entries_;
};

// The process-wide registry.
TInvokableClassRegistry& InvRegistry();

}  // namespace soap
