#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "soap/IcoKelvo1.h"
#include "soap/invoke_registry.h"
#include "soap/type_registry.h"

using namespace soap;

namespace {

const TTypeInfo kOther{TTypeKind::tkInterface, L"IOutro"};

std::wstring Action(const TInvokableClassRegistry& r, const TTypeInfo* intf, const std::wstring& op, int index = 0,
                    std::wstring start = L"kept") {
  r.GetActionURIOfInfo(intf, op, index, start);
  return start;
}

}  // namespace

TEST(InvocationRegistry, ContractRegistrationGivesNamespaceActionAndWireNames) {
  TInvokableClassRegistry r;
  RegisterIcoKelvo(r);
  const TTypeInfo* intf = &IcoKelvoTypeInfo();
  EXPECT_EQ(r.GetInterfaceTypeInfo(IcoKelvoMetaData().IID), intf);
  EXPECT_EQ(r.GetNamespaceByGUID(IcoKelvoMetaData().IID), L"urn:coKelvoIntf-IcoKelvo");
  EXPECT_EQ(Action(r, intf, L"TestaConexao"), L"urn:coKelvoIntf-IcoKelvo#TestaConexao");
  EXPECT_EQ(Action(r, intf, L"BuscaSolic"), L"urn:coKelvoIntf-IcoKelvo#BuscaSolic");
  // No operation name: the template itself.
  EXPECT_EQ(Action(r, intf, L""), L"urn:coKelvoIntf-IcoKelvo#%operationName%");
  EXPECT_EQ(r.GetMethExternalName(intf, L"GravaDados"), L"GravaDados");
  EXPECT_EQ(r.GetParamExternalName(intf, L"GravaDados", L"Tamanho"), L"Tamanho");
  EXPECT_EQ(r.GetReturnParamNames(intf), L"Result;Return");
  EXPECT_EQ(r.GetIntfInvokeOptions(intf),
            (TIntfInvokeOptions{TIntfInvokeOption::ioHasNamespace, TIntfInvokeOption::ioHasDefaultSOAPAction}));
  EXPECT_FALSE(r.GetUDDIInfo(intf).Registered);
  EXPECT_EQ(r.GetHeaderClass(L"Any", L"urn:x"), nullptr);

  // The first registration stands.
  r.RegisterInterface(intf, L"urn:outro", L"", L"", L"");
  EXPECT_EQ(r.GetNamespaceByGUID(IcoKelvoMetaData().IID), L"urn:coKelvoIntf-IcoKelvo");
}

TEST(InvocationRegistry, UnregisteredInterfaceLeavesResultsAtTheirDefaults) {
  TInvokableClassRegistry r;
  EXPECT_EQ(r.GetInterfaceTypeInfo(IcoKelvoMetaData().IID), nullptr);
  EXPECT_EQ(r.GetNamespaceByGUID(IcoKelvoMetaData().IID), L"");
  EXPECT_TRUE(r.GetIntfInvokeOptions(&kOther).Empty());
  EXPECT_EQ(Action(r, &kOther, L"Op"), L"kept");
  r.RegisterDefaultSOAPAction(&kOther, L"x");  // ignored: not registered
  EXPECT_EQ(Action(r, &kOther, L"Op"), L"kept");
}

TEST(InvocationRegistry, ActionRules) {
  TInvokableClassRegistry r;
  const TIntfMetaData md{L"IAlfa", L"UAlfa", {1, 2, 3, {}}, nullptr, {}};
  const TTypeInfo alfa{TTypeKind::tkInterface, L"IAlfa", &md};
  const TTypeInfo beta{TTypeKind::tkInterface, L"IBeta", &md};
  const TTypeInfo gama{TTypeKind::tkInterface, L"IGama", &md};
  r.RegisterInterface(&alfa, L"", L"", L"", L"");
  r.RegisterInterface(&beta, L"urn:b", L"", L"", L"");
  r.RegisterInterface(&gama, L"urn:g", L"", L"", L"");
  // No namespace given: "urn:" + module + "-" + interface; no template: namespace#op.
  EXPECT_EQ(Action(r, &alfa, L"Op"), L"urn:UAlfa-IAlfa#Op");
  EXPECT_FALSE(r.GetIntfInvokeOptions(&alfa).Has(TIntfInvokeOption::ioHasNamespace));
  // Only the first placeholder is replaced.
  r.RegisterDefaultSOAPAction(&beta, L"a/%operationName%/%operationName%");
  EXPECT_EQ(Action(r, &beta, L"Op"), L"a/Op/%operationName%");
  // One action per operation, split at the template's first character.
  r.RegisterAllSOAPActions(&gama, L"|um|dois|tres");
  EXPECT_EQ(Action(r, &gama, L"x", 0), L"um");
  EXPECT_EQ(Action(r, &gama, L"x", 2), L"tres");
  EXPECT_EQ(Action(r, &gama, L"x", 3), L"");
}

TEST(InvocationRegistry, MappedNamesReplaceDeclaredOnesIgnoringCase) {
  TInvokableClassRegistry r;
  RegisterIcoKelvo(r);
  const TTypeInfo* intf = &IcoKelvoTypeInfo();
  r.RegisterExternalMethName(intf, L"buscasolic", L"fetchRequest");
  r.RegisterExternalMethName(intf, L"BuscaPath", L"");
  r.RegisterExternalParamName(intf, L"GRAVADADOS", L"cnpj", L"company");
  r.RegisterReturnParamNames(intf, L"out,ret");
  EXPECT_EQ(r.GetMethExternalName(intf, L"BuscaSolic"), L"fetchRequest");
  EXPECT_EQ(r.GetMethExternalName(intf, L"BuscaPath"), L"BuscaPath");  // empty mapping keeps the name
  EXPECT_EQ(r.GetParamExternalName(intf, L"GravaDados", L"CNPJ"), L"company");
  EXPECT_EQ(r.GetParamExternalName(intf, L"GravaClientes", L"CNPJ"), L"CNPJ");
  EXPECT_EQ(r.GetReturnParamNames(intf), L"out,ret");
}

TEST(TypeMap, ContractScalarsAndUnknownTypes) {
  TRemotableTypeRegistry t;
  const std::wstring xsd = L"http://www.w3.org/2001/XMLSchema";
  EXPECT_EQ(t.TypeInfoToXSD(&StringTypeInfo()).Name, L"string");
  EXPECT_EQ(t.TypeInfoToXSD(&IntegerTypeInfo()).Name, L"int");
  EXPECT_EQ(t.TypeInfoToXSD(&DoubleTypeInfo()).Name, L"double");
  EXPECT_EQ(t.TypeInfoToXSD(&DoubleTypeInfo()).URI, xsd);
  const TTypeInfo odd{TTypeKind::tkInteger, L"TOdd"};
  EXPECT_EQ(t.TypeInfoToXSD(&odd).URI, L"urn:");
  EXPECT_EQ(t.TypeInfoToXSD(&odd).Name, L"TOdd");
  // A later row does not displace the first one.
  t.RegisterXSInfo(&StringTypeInfo(), L"urn:x", L"text");
  EXPECT_EQ(t.TypeInfoToXSD(&StringTypeInfo()).Name, L"string");
  TRemotableClassInfo fault{L"EFalha", [](const std::wstring& m) { return std::make_unique<ERemotableException>(m); }};
  t.RegisterXSClass(&fault, L"urn:f", L"Falha");
  EXPECT_EQ(t.URIToClass(L"urn:f", L"Falha"), &fault);
  EXPECT_EQ(t.URIToClass(L"urn:f", L"falha"), nullptr);
}

TEST(InvocationRegistry, ConcurrentRegistrationsAndLookupsAllLand) {
  TInvokableClassRegistry r;
  TRemotableTypeRegistry t;
  constexpr int kThreads = 4, kEach = 50;
  std::vector<TTypeInfo> infos;
  std::vector<TIntfMetaData> mds(kThreads * kEach);
  infos.reserve(mds.size());
  for (size_t i = 0; i < mds.size(); ++i) {
    mds[i].Name = L"I" + std::to_wstring(i);
    mds[i].UnitName = L"U";
    mds[i].IID.D1 = static_cast<uint32_t>(i + 1);
    infos.push_back({TTypeKind::tkInterface, mds[i].Name, &mds[i]});
  }
  std::vector<std::thread> threads;
  for (int k = 0; k < kThreads; ++k) {
    threads.emplace_back([&, k] {
      for (int i = k * kEach; i < (k + 1) * kEach; ++i) {
        r.RegisterInterface(&infos[i], L"", L"", L"", L"");
        r.RegisterDefaultSOAPAction(&infos[i], L"a#%operationName%");
        std::wstring action;
        r.GetActionURIOfInfo(&infos[i], L"Op", 0, action);
        EXPECT_EQ(action, L"a#Op");
        EXPECT_EQ(t.TypeInfoToXSD(&StringTypeInfo()).Name, L"string");
      }
    });
  }
  for (auto& th : threads) th.join();
  for (size_t i = 0; i < mds.size(); ++i)
    EXPECT_EQ(r.GetNamespaceByGUID(mds[i].IID), L"urn:U-I" + std::to_wstring(i));
}
