#pragma once
// The remote contract of the central backup web service.
#include <cstdint>
#include <string>

#include "soap/call_sequence.h"
#include "soap/invoke_registry.h"

namespace soap {

class IcoKelvo : public IInvokable {
 public:
  virtual void ApagaDadosBKS(const std::wstring& CNPJ) = 0;
  virtual int32_t GravaDados(const std::wstring& CNPJ, const std::wstring& Login, const std::wstring& Sistema,
                             const std::wstring& Processo, const std::wstring& Arquivo,
                             const std::wstring& Tipo, const std::wstring& Erro, double Tamanho,
                             double Baixado) = 0;
  virtual int32_t GravaClientes(const std::wstring& CNPJ, const std::wstring& Nome, const std::wstring& Cidade,
                                const std::wstring& UF, const std::wstring& Dados) = 0;
  virtual int32_t GravaClienteBKS(const std::wstring& CNPJ, const std::wstring& Sistema,
                                  const std::wstring& UltBK) = 0;
  virtual double BuscaDados(const std::wstring& CNPJ, const std::wstring& Login, const std::wstring& Sistema) = 0;
  virtual std::wstring BuscaSolic() = 0;
  virtual std::wstring SituacaoSolic(const std::wstring& CNPJ, const std::wstring& Sistema) = 0;
  virtual std::wstring ClienteExiste(const std::wstring& CNPJ) = 0;
  virtual std::wstring BuscaPath() = 0;
  virtual std::wstring TestaConexao() = 0;
};

inline constexpr wchar_t kIcoKelvoNamespace[] = L"urn:coKelvoIntf-IcoKelvo";
inline constexpr wchar_t kIcoKelvoSOAPAction[] = L"urn:coKelvoIntf-IcoKelvo#%operationName%";

// Method numbers: slots after the three base operations.
enum IcoKelvoMethod : int {
  kApagaDadosBKS = 3, kGravaDados, kGravaClientes, kGravaClienteBKS, kBuscaDados,
  kBuscaSolic, kSituacaoSolic, kClienteExiste, kBuscaPath, kTestaConexao
};

const TIntfMetaData& IcoKelvoMetaData();
const TTypeInfo& IcoKelvoTypeInfo();

// Registers the interface with its namespace and SOAPAction template;
// repeating it changes nothing.
void RegisterIcoKelvo(TInvokableClassRegistry& registry);
// The process-wide registration, made once.
void EnsureIcoKelvoRegistered();

// Turns each operation into a call of the sequence with its method number.
class TIcoKelvoProxy : public IcoKelvo {
 public:
  explicit TIcoKelvoProxy(TCallSequence& sequence) : sequence_(sequence) {}

  void ApagaDadosBKS(const std::wstring& CNPJ) override;
  int32_t GravaDados(const std::wstring& CNPJ, const std::wstring& Login, const std::wstring& Sistema,
                     const std::wstring& Processo, const std::wstring& Arquivo, const std::wstring& Tipo,
                     const std::wstring& Erro, double Tamanho, double Baixado) override;
  int32_t GravaClientes(const std::wstring& CNPJ, const std::wstring& Nome, const std::wstring& Cidade,
                        const std::wstring& UF, const std::wstring& Dados) override;
  int32_t GravaClienteBKS(const std::wstring& CNPJ, const std::wstring& Sistema,
                          const std::wstring& UltBK) override;
  double BuscaDados(const std::wstring& CNPJ, const std::wstring& Login, const std::wstring& Sistema) override;
  std::wstring BuscaSolic() override;
  std::wstring SituacaoSolic(const std::wstring& CNPJ, const std::wstring& Sistema) override;
  std::wstring ClienteExiste(const std::wstring& CNPJ) override;
  std::wstring BuscaPath() override;
  std::wstring TestaConexao() override;

 private:
  void Call(int method_number, std::initializer_list<const void*> args, void* result);

  TCallSequence& sequence_;
  TInvContext context_;
};

}  // namespace soap
