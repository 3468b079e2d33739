#pragma once
// The 60-second poll of the central web service for a requested run.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "soap/IcoKelvo1.h"

namespace backup {

// The number that addresses every installation.
inline constexpr wchar_t kEveryInstallation[] = L"11222333000181";

// What the poll needs from its module: the timer it disarms around the web
// calls, the interface for this poll (released when the poll ends) and the
// launch (blocks until the worker has ended).
struct RequestPollHooks {
  std::function<void(bool)> set_timer_enabled;
  std::function<std::shared_ptr<soap::IcoKelvo>()> get_ico_kelvo;
  std::function<bool()> run_kelvo_backup;
  // Starts (true) and ends (false) the time budget of the poll's web
  // exchanges; optional.
  std::function<void(bool)> set_web_budget;
};

// All web exchanges of one poll (the WSDL, its imports, both calls) end
// within this many milliseconds together, whatever the server does.
inline constexpr uint32_t kPollWebBudgetMs = 45000;

// One poll: reads the company number, checks the network, asks the web
// service and launches at most one requested run. Swallows every failure
// of the web calls and the launch, and logs nothing.
void RunRequestPoll(const RequestPollHooks& hooks);

// "CNPJ" in section "EMPRESA" of "backup.ini", as the poll reads it.
std::wstring ReadCompanyNumber();

// Whether the answer of BuscaSolic asks this installation (company number
// as read) for a run.
bool RequestNamesInstallation(const std::wstring& answer, const std::wstring& company);

// The trimmed text after the N-th "|" of S, up to the next "|"; empty when
// S has fewer than N.
std::wstring PipeField(int32_t N, const std::wstring& S);

// The digits of S, with a sign kept only as its first character and only
// the rightmost decimal separator of the locale.
std::wstring DigitsOnly(const std::wstring& S);

// The digits 0 to 9 of a company number as the web service writes it: its
// punctuation never matters, whatever the locale.
std::wstring CompanyNumberDigits(const std::wstring& text);

}  // namespace backup
