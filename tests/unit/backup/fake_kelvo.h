#pragma once
// The central web service as the proxy would give it: scripted answers,
// every step recorded in one journal, and an exchange that can hang until
// it is cancelled.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "backup/kelvo_proxy.h"
#include "base/exceptions.h"

namespace backup_test {

class Journal {
 public:
  void Add(std::string event) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
  }
  std::vector<std::string> Events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
};

class FakeKelvoProxy : public backup::IKelvoProxy {
 public:
  explicit FakeKelvoProxy(Journal& journal) : journal_(journal) {}

  // The script; read at each call.
  std::wstring testa = L"OK";
  std::wstring busca;
  bool fail_obtain = false;
  bool fail_testa = false;
  bool hang = false;  // TestaConexao waits until cancelled

  std::shared_ptr<soap::IcoKelvo> GetIcoKelvo() override;
  void SetWSDLLocation(const std::wstring& url) override {
    std::lock_guard lock(mutex_);
    wsdl_ = url;
  }
  void Cancel() override {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    ++cancels_;
    changed_.notify_all();
  }
  void Reset() override {
    std::lock_guard lock(mutex_);
    cancelled_ = false;
  }

  std::wstring WSDL() const {
    std::lock_guard lock(mutex_);
    return wsdl_;
  }
  int Cancels() const {
    std::lock_guard lock(mutex_);
    return cancels_;
  }
  bool Cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
  }
  bool Waiting() const {
    std::lock_guard lock(mutex_);
    return waiting_;
  }

 private:
  class Service;
  // What one remote call does: its answer, or the failure of a cancelled one.
  std::wstring Call(const std::string& name, const std::wstring& answer);

  Journal& journal_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::wstring wsdl_;
  bool cancelled_ = false;
  bool waiting_ = false;
  int cancels_ = 0;
};

class FakeKelvoProxy::Service : public soap::IcoKelvo {
 public:
  explicit Service(FakeKelvoProxy& proxy) : proxy_(proxy) {}
  std::wstring TestaConexao() override {
    if (proxy_.fail_testa) {
      proxy_.journal_.Add("TestaConexao");
      throw base::Exception(L"Server unavailable");
    }
    return proxy_.Call("TestaConexao", proxy_.testa);
  }
  std::wstring BuscaSolic() override { return proxy_.Call("BuscaSolic", proxy_.busca); }
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
  double BuscaDados(const std::wstring&, const std::wstring&, const std::wstring&) override {
    Unexpected();
  }
  std::wstring SituacaoSolic(const std::wstring&, const std::wstring&) override { Unexpected(); }
  std::wstring ClienteExiste(const std::wstring&) override { Unexpected(); }
  std::wstring BuscaPath() override { Unexpected(); }

 private:
  [[noreturn]] void Unexpected() {
    proxy_.journal_.Add("unexpected call");
    throw base::Exception(L"Not an operation of the poll");
  }
  FakeKelvoProxy& proxy_;
};

inline std::shared_ptr<soap::IcoKelvo> FakeKelvoProxy::GetIcoKelvo() {
  journal_.Add("obtain");
  if (fail_obtain) throw base::Exception(L"No interface");
  Journal* journal = &journal_;
  return std::shared_ptr<soap::IcoKelvo>(new Service(*this), [journal](soap::IcoKelvo* s) {
    journal->Add("release");
    delete s;
  });
}

inline std::wstring FakeKelvoProxy::Call(const std::string& name, const std::wstring& answer) {
  journal_.Add(name);
  std::unique_lock lock(mutex_);
  if (hang) {
    waiting_ = true;
    changed_.wait(lock, [this] { return cancelled_; });
    waiting_ = false;
  }
  if (cancelled_) throw base::Exception(L"The operation was cancelled");
  return answer;
}

}  // namespace backup_test
