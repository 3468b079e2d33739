#pragma once
// The central web service as the poll sees it through its interface:
// scripted answers and every step recorded in one journal.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/os_errors.h"
#include "support/journal.h"
#include "soap/IcoKelvo1.h"

namespace backup_test {

using testing_support::Journal;

// Hands out the interface as the proxy would, released when the poll
// drops it.
class FakeKelvo {
 public:
  explicit FakeKelvo(Journal& journal) : journal_(journal) {}

  std::wstring testa = L"OK";
  std::wstring busca;
  bool fail_obtain = false;
  bool fail_testa = false;

  std::shared_ptr<soap::IcoKelvo> Obtain() {
    journal_.Add("obtain");
    if (fail_obtain) throw core::Exception(L"Interface not supported");
    Journal* journal = &journal_;
    return std::shared_ptr<soap::IcoKelvo>(new Service(*this), [journal](soap::IcoKelvo* s) {
      journal->Add("release");
      delete s;
    });
  }

 private:
  class Service : public soap::IcoKelvo {
   public:
    explicit Service(FakeKelvo& owner) : owner_(owner) {}
    std::wstring TestaConexao() override {
      owner_.journal_.Add("TestaConexao");
      if (owner_.fail_testa) throw core::Exception(L"Server unavailable");
      return owner_.testa;
    }
    std::wstring BuscaSolic() override {
      owner_.journal_.Add("BuscaSolic");
      return owner_.busca;
    }
    // The poll calls nothing else.
    void ApagaDadosBKS(const std::wstring&) override { Unexpected(); }
    int32_t GravaDados(const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&,
                       const std::wstring&, const std::wstring&, const std::wstring&, double, double) override {
      Unexpected();
    }
    int32_t GravaClientes(const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&,
                          const std::wstring&) override {
      Unexpected();
    }
    int32_t GravaClienteBKS(const std::wstring&, const std::wstring&, const std::wstring&) override {
      Unexpected();
    }
    double BuscaDados(const std::wstring&, const std::wstring&, const std::wstring&) override { Unexpected(); }
    std::wstring SituacaoSolic(const std::wstring&, const std::wstring&) override { Unexpected(); }
    std::wstring ClienteExiste(const std::wstring&) override { Unexpected(); }
    std::wstring BuscaPath() override { Unexpected(); }

   private:
    [[noreturn]] void Unexpected() {
      owner_.journal_.Add("unexpected call");
      throw core::Exception(L"Not an operation of the poll");
    }
    FakeKelvo& owner_;
  };

  Journal& journal_;
};

}  // namespace backup_test
