#include "soap/invoke_registry.h"

#include "core/text.h"
#include "soap/process_registries.h"

namespace soap {

TProcessRegistries& ProcessRegistries() {
  static TProcessRegistries registries;
  return registries;
}

TInvokableClassRegistry& InvRegistry() { return ProcessRegistries().invocation; }

const InvRegIntfEntry* TInvokableClassRegistry::Find(const TTypeInfo* intf) const {
  for (const auto& e : entries_)
    if (e.Info == intf) return &e;
  return nullptr;
}

InvRegIntfEntry* TInvokableClassRegistry::Find(const TTypeInfo* intf) {
  return const_cast<InvRegIntfEntry*>(std::as_const(*this).Find(intf));
}

void TInvokableClassRegistry::RegisterInterface(const TTypeInfo* intf, const std::wstring& namespace_uri,
                                                const std::wstring& ext_name,
                                                const std::wstring& documentation,
                                                const std::wstring& wsdl_encoding) {
  std::lock_guard lock(mutex_);
  if (Find(intf)) return;
  InvRegIntfEntry e;
  e.Info = intf;
  if (intf->IntfData) {
    e.GUID = intf->IntfData->IID;
    e.Name = intf->IntfData->Name;
    e.UnitName = intf->IntfData->UnitName;
  } else {
    e.Name = intf->Name;
  }
  e.ExtName = ext_name;
  e.Documentation = documentation;
  e.WSDLEncoding = wsdl_encoding;
  if (!namespace_uri.empty()) {
    e.Namespace = namespace_uri;
    e.InvokeOptions.Include(TIntfInvokeOption::ioHasNamespace);
  } else {
    e.Namespace = L"urn:" + e.UnitName + L"-" + e.Name;
  }
  entries_.push_back(std::move(e));
}

void TInvokableClassRegistry::RegisterDefaultSOAPAction(const TTypeInfo* intf, const std::wstring& action) {
  Update(intf, [&](InvRegIntfEntry& e) {
    e.SOAPAction = action;
    e.InvokeOptions.Include(TIntfInvokeOption::ioHasDefaultSOAPAction);
  });
}

void TInvokableClassRegistry::RegisterAllSOAPActions(const TTypeInfo* intf, const std::wstring& actions) {
  Update(intf, [&](InvRegIntfEntry& e) {
    e.SOAPAction = actions;
    e.InvokeOptions.Include(TIntfInvokeOption::ioHasAllSOAPActions);
  });
}

void TInvokableClassRegistry::RegisterReturnParamNames(const TTypeInfo* intf, const std::wstring& names) {
  Update(intf, [&](InvRegIntfEntry& e) {
    e.ReturnParamNames = names;
    e.InvokeOptions.Include(TIntfInvokeOption::ioHasReturnParamNames);
  });
}

void TInvokableClassRegistry::RegisterInvokeOptions(const TTypeInfo* intf, TIntfInvokeOption option) {
  Update(intf, [&](InvRegIntfEntry& e) { e.InvokeOptions.Include(option); });
}

void TInvokableClassRegistry::RegisterExternalMethName(const TTypeInfo* intf, const std::wstring& method,
                                                       const std::wstring& ext_name) {
  Update(intf, [&](InvRegIntfEntry& e) { e.MethNameMap.emplace_back(method, ext_name); });
}

void TInvokableClassRegistry::RegisterExternalParamName(const TTypeInfo* intf, const std::wstring& method,
                                                        const std::wstring& param,
                                                        const std::wstring& ext_name) {
  Update(intf, [&](InvRegIntfEntry& e) { e.MethParamNameMap.push_back({method, param, ext_name}); });
}

void TInvokableClassRegistry::RegisterHeaderClass(const TTypeInfo* intf, const TRemotableClassInfo* cls,
                                                  const std::wstring& name,
                                                  const std::wstring& namespace_uri) {
  Update(intf, [&](InvRegIntfEntry& e) { e.IntfHeaders.push_back({cls, name, namespace_uri}); });
}

void TInvokableClassRegistry::RegisterUDDIInfo(const TTypeInfo* intf, const std::wstring& uddi_operator,
                                               const std::wstring& binding_key) {
  Update(intf, [&](InvRegIntfEntry& e) {
    e.UDDIOperator = uddi_operator;
    e.UDDIBindingKey = binding_key;
    e.InvokeOptions.Include(TIntfInvokeOption::ioHasUDDIInfo);
  });
}

const InvRegIntfEntry* TInvokableClassRegistry::FindByGUID(const TGUID& iid) const {
  for (const auto& e : entries_)
    if (e.GUID == iid) return &e;
  return nullptr;
}

const TTypeInfo* TInvokableClassRegistry::GetInterfaceTypeInfo(const TGUID& iid) const {
  std::lock_guard lock(mutex_);
  const auto* e = FindByGUID(iid);
  return e ? e->Info : nullptr;
}

std::wstring TInvokableClassRegistry::GetNamespaceByGUID(const TGUID& iid) const {
  std::lock_guard lock(mutex_);
  const auto* e = FindByGUID(iid);
  return e ? e->Namespace : L"";
}

TIntfInvokeOptions TInvokableClassRegistry::GetIntfInvokeOptions(const TTypeInfo* intf) const {
  std::lock_guard lock(mutex_);
  const auto* e = Find(intf);
  return e ? e->InvokeOptions : TIntfInvokeOptions{};
}

std::wstring TInvokableClassRegistry::GetMethExternalName(const TTypeInfo* intf,
                                                          const std::wstring& method) const {
  std::lock_guard lock(mutex_);
  std::wstring result = method;
  if (const auto* e = Find(intf)) {
    for (const auto& [declared, ext] : e->MethNameMap) {
      if (core::SameTextAscii(declared, method)) {
        if (!ext.empty()) result = ext;
        break;
      }
    }
  }
  return result;
}

std::wstring TInvokableClassRegistry::GetParamExternalName(const TTypeInfo* intf, const std::wstring& method,
                                                           const std::wstring& param) const {
  std::lock_guard lock(mutex_);
  std::wstring result = param;
  if (const auto* e = Find(intf)) {
    for (const auto& p : e->MethParamNameMap) {
      if (core::SameTextAscii(p.Method, method) && core::SameTextAscii(p.Param, param)) {
        if (!p.ExtName.empty()) result = p.ExtName;
        break;
      }
    }
  }
  return result;
}

std::wstring TInvokableClassRegistry::GetReturnParamNames(const TTypeInfo* intf) const {
  std::lock_guard lock(mutex_);
  const auto* e = Find(intf);
  if (e && e->InvokeOptions.Has(TIntfInvokeOption::ioHasReturnParamNames)) return e->ReturnParamNames;
  return L"Result;Return";
}

void TInvokableClassRegistry::GetActionURIOfInfo(const TTypeInfo* intf, const std::wstring& method_ext_name,
                                                 int method_index, std::wstring& action) const {
  std::lock_guard lock(mutex_);
  const auto* e = Find(intf);
  if (!e) return;
  if (e->InvokeOptions.Has(TIntfInvokeOption::ioHasDefaultSOAPAction)) {
    action = e->SOAPAction;
    static const std::wstring kPlaceholder = L"%operationName%";
    size_t at = action.find(kPlaceholder);
    if (!method_ext_name.empty() && at != std::wstring::npos) action.replace(at, kPlaceholder.size(), method_ext_name);
  } else if (e->InvokeOptions.Has(TIntfInvokeOption::ioHasAllSOAPActions)) {
    action.clear();
    if (e->SOAPAction.empty() || method_index < 0) return;
    const wchar_t separator = e->SOAPAction[0];
    size_t start = 1;
    for (int i = 0;; ++i) {
      size_t end = e->SOAPAction.find(separator, start);
      if (i == method_index) {
        action = e->SOAPAction.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        return;
      }
      if (end == std::wstring::npos) return;
      start = end + 1;
    }
  } else {
    action = e->Namespace + L"#" + method_ext_name;
  }
}

TUDDIInfo TInvokableClassRegistry::GetUDDIInfo(const TTypeInfo* intf) const {
  std::lock_guard lock(mutex_);
  const auto* e = Find(intf);
  if (!e || !e->InvokeOptions.Has(TIntfInvokeOption::ioHasUDDIInfo)) return {};
  return {e->UDDIOperator, e->UDDIBindingKey, true};
}

const TRemotableClassInfo* TInvokableClassRegistry::GetHeaderClass(const std::wstring& name,
                                                                   const std::wstring& namespace_uri) const {
  std::lock_guard lock(mutex_);
  for (const auto& e : entries_)
    for (const auto& h : e.IntfHeaders)
      if (h.Name == name && h.Namespace == namespace_uri) return h.Class;
  return nullptr;
}

}  // namespace soap
