#include "soap/IcoKelvo1.h"

#include <mutex>

namespace soap {
namespace {

TIntfMethEntry Method(const wchar_t* name, std::initializer_list<const wchar_t*> strings,
                      std::initializer_list<const wchar_t*> doubles, const TTypeInfo* result) {
  TIntfMethEntry m{name, {}, result};
  for (const wchar_t* p : strings) m.Params.push_back({p, &StringTypeInfo(), pfConst});
  for (const wchar_t* p : doubles) m.Params.push_back({p, &DoubleTypeInfo(), pfConst});
  return m;
}

TIntfMetaData BuildMetaData(const TTypeInfo* info) {
  TIntfMetaData md;
  md.Name = L"IcoKelvo";
  md.UnitName = L"IcoKelvo1";
  md.IID = {0x6E3A91C4, 0x2B57, 0x4F0D, {0x9A, 0x1E, 0x53, 0xC8, 0x7D, 0x02, 0xB4, 0x6F}};
  md.Info = info;
  const TTypeInfo* s = &StringTypeInfo();
  const TTypeInfo* i = &IntegerTypeInfo();
  const TTypeInfo* d = &DoubleTypeInfo();
  // In method-number order: the number is the index.
  md.MDA = {
      {L"QueryInterface", {}, nullptr},
      {L"_AddRef", {}, nullptr},
      {L"_Release", {}, nullptr},
      Method(L"ApagaDadosBKS", {L"CNPJ"}, {}, nullptr),
      Method(L"GravaDados", {L"CNPJ", L"Login", L"Sistema", L"Processo", L"Arquivo", L"Tipo", L"Erro"},
             {L"Tamanho", L"Baixado"}, i),
      Method(L"GravaClientes", {L"CNPJ", L"Nome", L"Cidade", L"UF", L"Dados"}, {}, i),
      Method(L"GravaClienteBKS", {L"CNPJ", L"Sistema", L"UltBK"}, {}, i),
      Method(L"BuscaDados", {L"CNPJ", L"Login", L"Sistema"}, {}, d),
      Method(L"BuscaSolic", {}, {}, s),
      Method(L"SituacaoSolic", {L"CNPJ", L"Sistema"}, {}, s),
      Method(L"ClienteExiste", {L"CNPJ"}, {}, s),
      Method(L"BuscaPath", {}, {}, s),
      Method(L"TestaConexao", {}, {}, s),
  };
  return md;
}

// The type and its description point at each other.
struct Contract {
  TTypeInfo info;
  TIntfMetaData md;
  Contract() : info{TTypeKind::tkInterface, L"IcoKelvo", &md}, md(BuildMetaData(&info)) {}
};

const Contract& TheContract() {
  static const Contract contract;
  return contract;
}

}  // namespace

const TTypeInfo& IcoKelvoTypeInfo() { return TheContract().info; }
const TIntfMetaData& IcoKelvoMetaData() { return TheContract().md; }

void RegisterIcoKelvo(TInvokableClassRegistry& registry) {
  const TTypeInfo* info = &IcoKelvoTypeInfo();
  registry.RegisterInterface(info, kIcoKelvoNamespace, L"", L"", L"");
  registry.RegisterDefaultSOAPAction(info, kIcoKelvoSOAPAction);
}

void EnsureIcoKelvoRegistered() {
  static std::once_flag once;
  std::call_once(once, [] { RegisterIcoKelvo(InvRegistry()); });
}

void TIcoKelvoProxy::Call(int method_number, std::initializer_list<const void*> args, void* result) {
  const TIntfMetaData& md = IcoKelvoMetaData();
  context_.SetMethodInfo(md.MDA.at(method_number));
  int index = 0;
  // The converter only reads const parameters; the cast merely fits the slot type.
  for (const void* a : args) context_.SetParamPointer(index++, const_cast<void*>(a));
  context_.SetResultPointer(result);
  sequence_.Invoke(md, method_number, context_);
}

void TIcoKelvoProxy::ApagaDadosBKS(const std::wstring& CNPJ) { Call(kApagaDadosBKS, {&CNPJ}, nullptr); }

int32_t TIcoKelvoProxy::GravaDados(const std::wstring& CNPJ, const std::wstring& Login, const std::wstring& Sistema,
                                   const std::wstring& Processo, const std::wstring& Arquivo,
                                   const std::wstring& Tipo, const std::wstring& Erro, double Tamanho,
                                   double Baixado) {
  int32_t result = 0;
  Call(kGravaDados, {&CNPJ, &Login, &Sistema, &Processo, &Arquivo, &Tipo, &Erro, &Tamanho, &Baixado}, &result);
  return result;
}

int32_t TIcoKelvoProxy::GravaClientes(const std::wstring& CNPJ, const std::wstring& Nome, const std::wstring& Cidade,
                                      const std::wstring& UF, const std::wstring& Dados) {
  int32_t result = 0;
  Call(kGravaClientes, {&CNPJ, &Nome, &Cidade, &UF, &Dados}, &result);
  return result;
}

int32_t TIcoKelvoProxy::GravaClienteBKS(const std::wstring& CNPJ, const std::wstring& Sistema,
                                        const std::wstring& UltBK) {
  int32_t result = 0;
  Call(kGravaClienteBKS, {&CNPJ, &Sistema, &UltBK}, &result);
  return result;
}

double TIcoKelvoProxy::BuscaDados(const std::wstring& CNPJ, const std::wstring& Login, const std::wstring& Sistema) {
  double result = 0;
  Call(kBuscaDados, {&CNPJ, &Login, &Sistema}, &result);
  return result;
}

std::wstring TIcoKelvoProxy::BuscaSolic() {
  std::wstring result;
  Call(kBuscaSolic, {}, &result);
  return result;
}

std::wstring TIcoKelvoProxy::SituacaoSolic(const std::wstring& CNPJ, const std::wstring& Sistema) {
  std::wstring result;
  Call(kSituacaoSolic, {&CNPJ, &Sistema}, &result);
  return result;
}

std::wstring TIcoKelvoProxy::ClienteExiste(const std::wstring& CNPJ) {
  std::wstring result;
  Call(kClienteExiste, {&CNPJ}, &result);
  return result;
}

std::wstring TIcoKelvoProxy::BuscaPath() {
  std::wstring result;
  Call(kBuscaPath, {}, &result);
  return result;
}

std::wstring TIcoKelvoProxy::TestaConexao() {
  std::wstring result;
  Call(kTestaConexao, {}, &result);
  return result;
}

}  // namespace soap
