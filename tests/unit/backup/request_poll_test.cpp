#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "backup/request_poll.h"
#include "fake_kelvo.h"
#include "platform/host.h"
#include "platform/sim/connectivity.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

using namespace backup;
using namespace backup_test;
using testing_support::FixedLocale;
using Events = std::vector<std::string>;

namespace {

const Events kFullPollWithLaunch = {"disarm", "obtain", "TestaConexao", "BuscaSolic", "launch", "arm", "release"};
const Events kFullPollNoLaunch = {"disarm", "obtain", "TestaConexao", "BuscaSolic", "arm", "release"};

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// One poll with the executable in a directory of its own, a chosen locale
// and network state, and every step of the module recorded in order.
class RequestPoll : public testing::Test {
 protected:
  testing_support::TempDir dir{"tav poll dir"};
  testing_support::FakeProcess process;
  FixedLocale locale = FixedLocale::BrazilianPortuguese();
  platform::SimulatedConnectivity network;
  platform::ScopedOverride<platform::ProcessInfo> use_process{&platform::Host::process, &process};
  platform::ScopedOverride<platform::Locale> use_locale{&platform::Host::locale, &locale};
  platform::ScopedOverride<platform::Connectivity> use_network{&platform::Host::connectivity, &network};
  Journal journal;
  FakeKelvo kelvo{journal};
  bool fail_launch = false;

  void SetUp() override { process.exe = dir.file(L"SrvBackupVostrani.exe"); }

  void WriteIni(const std::string& content) { std::ofstream(dir.path() / "backup.ini") << content; }
  void Company(const std::string& cnpj) { WriteIni("[EMPRESA]\r\nCNPJ=" + cnpj + "\r\n"); }

  Events Poll() {
    journal.Clear();
    RunRequestPoll({[this](bool on) { journal.Add(on ? "arm" : "disarm"); },
                       [this] { return kelvo.Obtain(); },
                       [this] {
                         journal.Add("launch");
                         if (fail_launch) throw core::Exception(L"launch failed");
                         return true;
                       }});
    return journal.Events();
  }
};

}  // namespace

TEST_F(RequestPoll, AnswerDecidesTheLaunchInEitherLocale) {
  struct Case {
    const char* cnpj;
    const wchar_t* answer;
    bool launches;
  } cases[] = {
      {"11222333000181", L"REQ|11222333000181|X", true},
      {"11222333000181", L"REQ|11.222.333/0001-81", true},
      {"98765432000110", L"REQ|98.765.432/0001-10|X", true},
      {"98765432000110", L"REQ| 98765432000110 |", true},
      {"98765432000110", L"REQ|11222333000181", true},   // addressed to every installation
      {"98765432000110", L"REQ|11.222.333/0001-81", true},
      {"98765432000110", L"REQ|98765432000111", false},
      {"98765432000110", L"REQ 98765432000110", false},  // no field after a "|"
      {"98765432000110", L"REQ||98765432000110", false},
      {"98765432000110", L"REQ|", false},
      {"98765432000110", L"98765432000110|REQ", false},  // only the field after the first "|" counts
      {"98.765.432/0001-10", L"REQ|98.765.432/0001-10", false},  // a formatted number never matches
      {"98.765.432/0001-10", L"REQ|11222333000181", true},
      {"\"98765432000110\"", L"REQ|98765432000110", true},  // the profile read drops the quotes
  };
  for (wchar_t separator : {L',', L'.'}) {
    locale.decimal_sep = separator;
    for (const auto& c : cases) {
      Company(c.cnpj);
      kelvo.busca = c.answer;
      EXPECT_EQ(Poll(), c.launches ? kFullPollWithLaunch : kFullPollNoLaunch)
          << c.cnpj << " / " << Narrow(c.answer) << " / separator " << char(separator);
    }
  }
}

TEST_F(RequestPoll, NothingToAskSkipsTheWebAndLeavesTheTimerAlone) {
  struct Case {
    const char* name;
    std::optional<std::string> ini;
    bool connected;
  } cases[] = {
      {"no backup.ini", std::nullopt, true},
      {"no EMPRESA section", "[OUTRA]\r\nCNPJ=98765432000110\r\n", true},
      {"no CNPJ key", "[EMPRESA]\r\nNOME=x\r\n", true},
      {"blank CNPJ", "[EMPRESA]\r\nCNPJ=   \r\n", true},
      {"no connection", "[EMPRESA]\r\nCNPJ=98765432000110\r\n", false},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(dir.path() / "backup.ini");
    if (c.ini) WriteIni(*c.ini);
    network.set_connected(c.connected);
    kelvo.busca = L"REQ|11222333000181";
    EXPECT_EQ(Poll(), Events{}) << c.name;
  }
}

TEST_F(RequestPoll, ConnectivityIsAskedOnlyOnceANumberIsSet) {
  const int before = network.checks();
  Poll();
  EXPECT_EQ(network.checks(), before);
  Company("98765432000110");
  Poll();
  EXPECT_EQ(network.checks(), before + 1);
}

TEST_F(RequestPoll, CheckThatCannotTellStillAsks) {
  Company("98765432000110");
  network.faults.FailNext("connected", 0x80004005, platform::FaultPlan::Repeat::FromThenOn);
  kelvo.busca = L"REQ|98765432000110";
  EXPECT_EQ(Poll(), kFullPollWithLaunch);
}

TEST_F(RequestPoll, BlankAnswersEndThePollWithoutALaunch) {
  Company("98765432000110");
  kelvo.testa = L" \t\r\n";
  kelvo.busca = L"REQ|98765432000110";
  EXPECT_EQ(Poll(), (Events{"disarm", "obtain", "TestaConexao", "arm", "release"}));
  kelvo.testa = L"OK";
  kelvo.busca = L"  ";
  EXPECT_EQ(Poll(), kFullPollNoLaunch);
}

TEST_F(RequestPoll, FailuresAreSwallowedAndTheTimerReArmed) {
  Company("98765432000110");
  kelvo.busca = L"REQ|98765432000110";
  kelvo.fail_obtain = true;
  EXPECT_EQ(Poll(), (Events{"disarm", "obtain", "arm"}));
  kelvo.fail_obtain = false;
  kelvo.fail_testa = true;
  EXPECT_EQ(Poll(), (Events{"disarm", "obtain", "TestaConexao", "arm", "release"}));
  kelvo.fail_testa = false;
  fail_launch = true;
  EXPECT_EQ(Poll(), kFullPollWithLaunch);
}

TEST(PipeField, TakesTheTrimmedTextAfterTheNthBar) {
  struct Case {
    int n;
    const wchar_t* text;
    const wchar_t* field;
  } cases[] = {
      {1, L"REQ|123|X", L"123"}, {2, L"REQ|123|X", L"X"},   {1, L"REQ", L""},    {3, L"a|b", L""},
      {1, L"a||b", L""},         {1, L"a|", L""},            {1, L"|x", L"x"},    {1, L"a| \t7 \r|b", L"7"},
      {1, L"", L""},             {2, L"a|b|", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(PipeField(c.n, c.text), c.field) << c.n << " " << Narrow(c.text);
}

TEST(DigitsOnly, KeepsDigitsALeadingSignAndTheRightmostSeparator) {
  FixedLocale locale = FixedLocale::BrazilianPortuguese();
  platform::ScopedOverride<platform::Locale> use{&platform::Host::locale, &locale};
  struct Case {
    wchar_t separator;
    const wchar_t* text;
    const wchar_t* digits;
  } cases[] = {
      {L',', L"11.222.333/0001-81", L"11222333000181"},
      {L'.', L"11.222.333/0001-81", L"11222.333000181"},
      {L',', L"1,2,3", L"12,3"},
      {L',', L"-12-3", L"-123"},
      {L',', L"+7", L"+7"},
      {L',', L"a+7", L"7"},
      {L',', L"\u0661\u00B2 9", L"9"},  // other digits and codes above 255 are dropped
      {L'.', L"", L""},
  };
  for (const auto& c : cases) {
    locale.decimal_sep = c.separator;
    EXPECT_EQ(DigitsOnly(c.text), c.digits) << Narrow(c.text);
  }
}

// All web exchanges of a poll share one time budget; the launch it may lead
// to is no web exchange and runs outside it.
TEST_F(RequestPoll, TheWebBudgetCoversTheCallsAndEndsBeforeTheLaunch) {
  Company("11222333000181");
  auto poll = [&] {
    journal.Clear();
    RunRequestPoll({[this](bool on) { journal.Add(on ? "arm" : "disarm"); }, [this] { return kelvo.Obtain(); },
                       [this] {
                         journal.Add("launch");
                         return true;
                       },
                       [this](bool on) { journal.Add(on ? "budget" : "budget ends"); }});
    return journal.Events();
  };
  kelvo.busca = L"REQ|11222333000181";
  EXPECT_EQ(poll(), (Events{"disarm", "budget", "obtain", "TestaConexao", "BuscaSolic", "budget ends", "launch",
                            "arm", "release"}));
  kelvo.fail_testa = true;
  EXPECT_EQ(poll(), (Events{"disarm", "budget", "obtain", "TestaConexao", "budget ends", "arm", "release"}));
}
