#include "backup/request_poll.h"

#include "backup/backup_paths.h"
#include "base/ini_file.h"
#include "core/text.h"
#include "platform/connectivity.h"
#include "platform/host.h"
#include "platform/locale.h"

namespace backup {
namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// A check that cannot tell is not a report of "no connection": the web call
// is tried and fails on its own if the network is really down.
bool NetworkReported() {
  const core::Result<bool> connected = platform::host().connectivity->connected();
  return !connected.ok() || connected.value();
}

// The time budget of the poll's web exchanges, ended once.
class WebBudget {
 public:
  explicit WebBudget(const RequestPollHooks& hooks) : hooks_(hooks) {}
  ~WebBudget() { End(); }
  void Start() {
    if (!hooks_.set_web_budget) return;
    hooks_.set_web_budget(true);
    started_ = true;
  }
  void End() {
    if (!started_) return;
    started_ = false;
    hooks_.set_web_budget(false);
  }

 private:
  const RequestPollHooks& hooks_;
  bool started_ = false;
};

// The web calls of one poll and the launch they may lead to.
void AskAndLaunch(const RequestPollHooks& hooks, soap::IcoKelvo& service, const std::wstring& company,
                  WebBudget& budget) {
  if (core::Trim(service.TestaConexao()).empty()) return;
  const std::wstring answer = service.BuscaSolic();
  if (core::Trim(answer).empty()) return;
  // The launch is no web exchange: the budget ends before it.
  budget.End();
  if (RequestNamesInstallation(answer, company)) hooks.run_kelvo_backup();
}

}  // namespace

std::wstring ReadCompanyNumber() {
  base::TIniFile ini(CompanyIniPath());
  return ini.ReadString(L"EMPRESA", L"CNPJ", L"");
}

bool RequestNamesInstallation(const std::wstring& answer, const std::wstring& company) {
  const std::wstring requested = CompanyNumberDigits(PipeField(1, answer));
  return requested == company || requested == kEveryInstallation;
}

void RunRequestPoll(const RequestPollHooks& hooks) {
  const std::wstring company = ReadCompanyNumber();
  if (core::Trim(company).empty()) return;
  if (!NetworkReported()) return;
  std::shared_ptr<soap::IcoKelvo> service;
  WebBudget budget(hooks);
  try {
    hooks.set_timer_enabled(false);
    budget.Start();
    service = hooks.get_ico_kelvo();
    AskAndLaunch(hooks, *service, company, budget);
  } catch (...) {
    // A failed poll waits for the next period; nothing is reported.
  }
  budget.End();
  hooks.set_timer_enabled(true);
  service.reset();
}

std::wstring PipeField(int32_t N, const std::wstring& S) {
  int32_t pipes = 0;
  size_t at = 0;
  while (pipes < N) {
    at = S.find(L'|', at);
    if (at == std::wstring::npos) return L"";
    ++at;
    ++pipes;
  }
  const size_t end = S.find(L'|', at);
  return core::Trim(S.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at));
}

std::wstring DigitsOnly(const std::wstring& S) {
  if (S.empty()) return L"";
  const wchar_t separator = platform::host().locale->decimal_separator();
  bool separatorKept = false;
  std::wstring kept;
  for (size_t i = S.size(); i-- > 0;) {
    const wchar_t c = S[i];
    if (c == separator && !separatorKept) {
      separatorKept = true;
      kept += c;
    } else if ((c == L'+' || c == L'-') && i == 0) {
      kept += c;
    } else if (IsDigit(c)) {
      kept += c;
    }
  }
  return std::wstring(kept.rbegin(), kept.rend());
}

std::wstring CompanyNumberDigits(const std::wstring& text) {
  std::wstring digits;
  for (wchar_t c : text)
    if (IsDigit(c)) digits += c;
  return digits;
}

}  // namespace backup
