#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "backup/USrvBackup.h"
#include "backup/status_command.h"
#include "backup/status_report.h"
#include "backup/status_text.h"
#include "base/ini_file.h"
#include "core/utf.h"
#include "core/version.h"
#include "central_service.h"
#include "platform/console.h"
#include "platform/dialogs.h"
#include "platform/host.h"
#include "platform/sim/registry_keys.h"
#include "platform/sim/file_access.h"
#include "platform/sim/connectivity.h"
#include "platform/sim/service_database.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

using namespace backup;
using namespace backup_test;
using platform::reg_dword;
using platform::reg_string;

namespace {

const std::wstring kMain = L"Software\\Tav7Backup";
const std::wstring kHours = L"Software\\Tav7Backup\\Horarios";
const wchar_t* const kDays[] = {L"Domingo", L"Segunda", L"Ter\u00E7a", L"Quarta",
                                L"Quinta",  L"Sexta",   L"S\u00E1bado", L"Todo Dia"};
constexpr uint32_t kStopped = 1, kRunning = 4, kPaused = 7, kAutomatic = 2, kDisabled = 4;

// The in-memory registry, with every change asked of it written down: a
// key opened for creation, or a value written.
class WatchedRegistryKeys : public platform::RegistryKeys {
 public:
  explicit WatchedRegistryKeys(platform::MemoryRegistryKeys& real) : real_(real) {}
  std::vector<std::wstring> changes;

  core::Result<std::unique_ptr<platform::RegistryKey>> open_local_machine(const std::wstring& path,
                                                                          uint32_t access, bool create) override {
    if (create) changes.push_back(L"open for creation " + path);
    auto key = real_.open_local_machine(path, access, create);
    if (!key.ok()) return key.status();
    return std::unique_ptr<platform::RegistryKey>(std::make_unique<Key>(std::move(key.value()), *this, path));
  }

 private:
  class Key : public platform::RegistryKey {
   public:
    Key(std::unique_ptr<platform::RegistryKey> real, WatchedRegistryKeys& owner, std::wstring path)
        : real_(std::move(real)), owner_(owner), path_(std::move(path)) {}
    core::Result<platform::RegValue> query(const std::wstring& name) override { return real_->query(name); }
    core::Status write(const std::wstring& name, const platform::RegValue& value) override {
      owner_.changes.push_back(L"write " + path_ + L"\\" + name);
      return real_->write(name, value);
    }

   private:
    std::unique_ptr<platform::RegistryKey> real_;
    WatchedRegistryKeys& owner_;
    std::wstring path_;
  };
  platform::MemoryRegistryKeys& real_;
};

std::map<std::string, std::string> DirectoryContents(const std::filesystem::path& dir) {
  std::map<std::string, std::string> contents;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
    contents[entry.path().string()] = entry.is_regular_file() ? testing_support::ReadFile(entry.path()) : "<dir>";
  return contents;
}

// An installed, enabled service at 14:35 with hour 14 scheduled, its files
// in place and a central service on loopback asking this installation for
// a run: every case changes one thing of it.
struct StatusWorld {
  testing_support::TempDir dir{"tav status dir"};
  testing_support::FakeProcess process;
  testing_support::FixedClock clock;
  testing_support::FixedLocale locale = testing_support::FixedLocale::BrazilianPortuguese();
  platform::MemoryRegistryKeys registry;
  WatchedRegistryKeys watched{registry};
  platform::SimulatedServiceDatabase database;
  platform::SimulatedConnectivity network;
  platform::SimulatedFileAccess access;
  CentralService central;
  std::optional<RedirectedHttp> redirect;
  platform::ScopedOverride<platform::ProcessInfo> use_process{&platform::Host::process, &process};
  platform::ScopedOverride<platform::Clock> use_clock{&platform::Host::clock, &clock};
  platform::ScopedOverride<platform::Locale> use_locale{&platform::Host::locale, &locale};
  platform::ScopedOverride<platform::RegistryKeys> use_registry{&platform::Host::registry_keys, &watched};
  platform::ScopedOverride<platform::ServiceDatabase> use_database{&platform::Host::service_database, &database};
  platform::ScopedOverride<platform::Connectivity> use_network{&platform::Host::connectivity, &network};
  platform::ScopedOverride<platform::FileAccess> use_access{&platform::Host::file_access, &access};
  std::optional<platform::ScopedOverride<platform::Http>> use_http;
  std::unique_ptr<TTavSrvBackup> module;

  StatusWorld() {
    process.exe = dir.file(L"SrvBackupVostrani.exe");
    clock.set(2026, 3, 25, 14, 35);
    Install(kAutomatic);
    Settings();
    Hours({14});
    std::ofstream(dir.path() / "backup_vostrani.exe") << "MZ";
    std::ofstream(dir.path() / "backup.ini") << "[EMPRESA]\r\nCNPJ=98765432000110\r\n";
    std::ofstream(dir.path() / "LOGSrvBackup.ini") << "[BACKUP]\r\nEXECUTADO=24/03/2026 14:00:07\r\n";
    central.Request("REQ|98.765.432/0001-10|X");
    RedirectTo(central.port());
    module = std::make_unique<TTavSrvBackup>();
  }

  void Install(uint32_t start_type) {
    platform::ServiceRegistration r;
    r.name = kServiceName;
    r.start_type = start_type;
    r.binary_path = L"\"" + process.exe + L"\"";
    EXPECT_TRUE(database.create_service(Manager(), r).ok());
    database.set_state(kServiceName, kRunning);
  }

  void Uninstall() { EXPECT_TRUE(database.delete_service(database.open_service(Manager(), kServiceName, 0).value()).ok()); }

  platform::ScHandle Manager() { return database.open_manager(0).value(); }

  // The main key alone, without the "Horarios" key.
  void Settings() {
    registry.clear();
    registry.set(kMain, L"SERVICO", reg_string(L"S"));
    registry.set(kMain, L"ServidorBackup", reg_string(L"127.0.0.1"));
    for (const wchar_t* day : kDays) registry.set(kMain, day, reg_dword(day == std::wstring(L"Todo Dia")));
  }

  void Hours(std::initializer_list<int> enabled) {
    for (int h = 0; h < 24; ++h) registry.set(kHours, HourName(h), reg_dword(0));
    for (int h : enabled) registry.set(kHours, HourName(h), reg_dword(1));
  }

  static std::wstring HourName(int h) { return (h < 10 ? L"0" : L"") + std::to_wstring(h) + L":00"; }

  void RedirectTo(int port) {
    use_http.reset();
    redirect.emplace(*platform::host().http, port);
    use_http.emplace(&platform::Host::http, &*redirect);
  }

  // A port on which nothing listens any more.
  static int ClosedPort() {
    testing_support::HttpTestServer gone([](const testing_support::HttpReceived&) { return testing_support::HttpReply{}; });
    return gone.port();
  }
};

struct Case {
  const char* name;
  std::function<void(StatusWorld&)> change;
  std::vector<std::wstring> lines;  // each found in the report, whole
  int exit_code;
};

// A line ending in "*" only needs to begin the line in the report.
bool HasLine(const std::wstring& report, const std::wstring& line) {
  if (!line.empty() && line.back() == L'*') return report.find(L"\n" + line.substr(0, line.size() - 1)) != std::wstring::npos;
  return report.find(L"\n" + line + L"\n") != std::wstring::npos;
}

void Check(const Case& c) {
  StatusWorld t;
  c.change(t);
  const auto files_before = DirectoryContents(t.dir.path());
  const StatusReportFacts facts = GatherStatus(*t.module);
  const std::wstring report = RenderStatus(facts);
  for (const std::wstring& line : c.lines)
    EXPECT_TRUE(HasLine(report, line)) << "no line \"" << core::ToUtf8(line) << "\" in\n" << core::ToUtf8(report);
  EXPECT_EQ(StatusExitCode(facts), c.exit_code) << core::ToUtf8(report);
  EXPECT_TRUE(HasLine(report, L"Result: " + StatusName(c.exit_code) + L" (exit code " + std::to_wstring(c.exit_code) +
                                  L")"))
      << core::ToUtf8(report);
  EXPECT_EQ(t.watched.changes, std::vector<std::wstring>{});
  EXPECT_EQ(DirectoryContents(t.dir.path()), files_before);
  // A request the server hands out once stays for the service.
  for (const std::string& action : t.central.Actions()) EXPECT_EQ(action.find("BuscaSolic"), std::string::npos);
}

const std::wstring kBothRun[] = {L"  Scheduled runs: yes", L"  Requested runs: yes"};

const Case kCases[] = {
    {"all in place",
     [](StatusWorld&) {},
     {L"  Installed: yes", L"  State: running", L"  Start type: automatic", L"  Registered path is this program: yes",
      L"  SERVICO: \"S\": enabled", L"  Hours: 14:00",
      L"  RecuperarPerdidos: off: an hour missed while the machine was off or asleep is not made up",
      L"  Next scheduled launch: 25/03/2026 14:00 (this hour, unless already launched today)",
      L"  EXECUTADO: 24/03/2026 14:00:07", L"  ERRO: (none)", L"  CNPJ: 98765432000110",
      L"  ServidorBackup: 127.0.0.1", L"  WSDL: http://127.0.0.1:5660/VostraniKelvoP/Kelvo.dll/wsdl/IcoKelvo",
      L"  Network: connected", L"  WSDL fetched: yes",
      L"  TestaConexao: \"OK\" (SOAPAction \"urn:coKelvoIntf-IcoKelvo#TestaConexao\")",
      L"  BuscaSolic: not called: it would take a pending request away from the service", kBothRun[0], kBothRun[1]},
     0},
    {"the next hour later today",
     [](StatusWorld& t) { t.Hours({9, 16}); },
     {L"  Hours: 09:00, 16:00", L"  Next scheduled launch: 25/03/2026 16:00"},
     0},
    {"the next hour tomorrow", [](StatusWorld& t) { t.Hours({9}); }, {L"  Next scheduled launch: 26/03/2026 09:00"}, 0},
    {"catching up, and this hour has its own launch",
     [](StatusWorld& t) { t.registry.set(kMain, L"RecuperarPerdidos", reg_dword(1)); },
     {L"  RecuperarPerdidos: on: no enabled hour missed"},
     0},
    {"catching up an hour missed since the last launch",
     [](StatusWorld& t) {
       t.registry.set(kMain, L"RecuperarPerdidos", reg_dword(1));
       t.Hours({9});
     },
     {L"  RecuperarPerdidos: on: the 25/03/2026 09:00 run has no launch recorded; a start makes it up at its first "
      L"tick (about 10 s)"},
     0},
    {"catching up, EXECUTADO edited by hand",
     [](StatusWorld& t) {
       t.registry.set(kMain, L"RecuperarPerdidos", reg_dword(1));
       t.Hours({13});
       base::TIniFile(t.dir.file(L"LOGSrvBackup.ini")).WriteString(L"BACKUP", L"EXECUTADO", L"hoje");
     },
     {L"  RecuperarPerdidos: on: the 25/03/2026 13:00 run *"},
     0},
    {"catching up, launched since the missed hour began",
     [](StatusWorld& t) {
       t.registry.set(kMain, L"RecuperarPerdidos", reg_dword(1));
       t.Hours({13});
       base::TIniFile(t.dir.file(L"LOGSrvBackup.ini")).WriteString(L"BACKUP", L"EXECUTADO", L"25/03/2026 13:00:00");
     },
     {L"  RecuperarPerdidos: on: no enabled hour missed"},
     0},
    {"no EXECUTADO yet, an old ERRO kept",
     [](StatusWorld& t) {
       std::filesystem::remove(t.dir.path() / "LOGSrvBackup.ini");
       base::TIniFile(t.dir.file(L"LOGSrvBackup.ini")).WriteString(L"BACKUP", L"ERRO", L"Arquivo n\u00E3o localizado");
     },
     {L"  EXECUTADO: (none)", L"  ERRO: Arquivo n\u00E3o localizado"},
     0},
    // One trigger off by configuration, the other working: WARNING.
    {"no hour enabled",
     [](StatusWorld& t) { t.Hours({}); },
     {L"  Hours: none enabled, so no scheduled runs", L"  Scheduled runs: no: no hour is enabled", kBothRun[1]},
     1},
    {"every weekday value 0, and no Horarios key",
     [](StatusWorld& t) {
       t.Settings();
       t.registry.set(kMain, L"Todo Dia", reg_dword(0));
     },
     {L"  Hours: not loaded: every weekday value is 0, so no scheduled runs",
      L"  Scheduled runs: no: every weekday value is 0"},
     1},
    {"backup.ini missing",
     [](StatusWorld& t) { std::filesystem::remove(t.dir.path() / "backup.ini"); },
     {L"  CNPJ: blank: no poll calls the web service", kBothRun[0], L"  Requested runs: no: the company number is blank"},
     1},
    {"a user may write the service's executable",
     [](StatusWorld& t) { t.access.set_writers(t.process.exe, {L"BUILTIN\\Users", L"TAV\\maria"}); },
     {L"  Warning: *", kBothRun[0], kBothRun[1]},
     1},
    // Nothing can run: CRITICAL.
    {"no hour enabled and the company number blank",
     [](StatusWorld& t) {
       t.Hours({});
       std::filesystem::remove(t.dir.path() / "backup.ini");
     },
     {L"  Scheduled runs: no: no hour is enabled", L"  Requested runs: no: the company number is blank"},
     2},
    {"stopped",
     [](StatusWorld& t) { t.database.set_state(kServiceName, kStopped); },
     {L"  State: stopped", L"  Scheduled runs: no: the service is stopped",
      L"  Requested runs: no: the service is stopped"},
     2},
    {"paused",
     [](StatusWorld& t) { t.database.set_state(kServiceName, kPaused); },
     {L"  State: paused", L"  Scheduled runs: no: the service is paused"},
     2},
    {"a user may write the folder of a stopped service",
     [](StatusWorld& t) {
       t.database.set_state(kServiceName, kStopped);
       t.access.set_writers(t.process.exe, {L"BUILTIN\\Users"});
     },
     {L"  Scheduled runs: no: the service is stopped"},
     2},
    {"SERVICO in lower case",
     [](StatusWorld& t) { t.registry.set(kMain, L"SERVICO", reg_string(L"s")); },
     {L"  SERVICO: \"s\": disabled (only \"S\" enables)",
      L"  Scheduled runs: no: SERVICO is not \"S\", so the service does not start"},
     2},
    {"SERVICO empty", [](StatusWorld& t) { t.registry.set(kMain, L"SERVICO", reg_string(L"")); },
     {L"  SERVICO: empty: disabled"}, 2},
    {"SERVICO missing", [](StatusWorld& t) { t.registry.remove_value(kMain, L"SERVICO"); },
     {L"  SERVICO: missing: disabled"}, 2},
    {"no settings key",
     [](StatusWorld& t) { t.registry.clear(); },
     {L"  SERVICO: the key is missing: disabled", L"  ServidorBackup: not set: the built-in host"},
     2},
    {"a weekday value missing",
     [](StatusWorld& t) { t.registry.remove_value(kMain, L"Ter\u00E7a"); },
     {L"  Load: fails with \"Failed to get data for 'Ter\u00E7a'\": the service would not start",
      L"  Scheduled runs: no: the configuration fails to load, so the service cannot start"},
     2},
    {"an hour stored under a one-digit name",
     [](StatusWorld& t) {
       t.registry.remove_value(kHours, L"07:00");
       t.registry.set(kHours, L"7:00", reg_dword(1));
     },
     {L"  Load: fails with \"Failed to get data for '07:00'\": the service would not start"},
     2},
    {"RecuperarPerdidos wrongly typed",
     [](StatusWorld& t) { t.registry.set(kMain, L"RecuperarPerdidos", reg_string(L"1")); },
     {L"  Load: fails with \"Invalid data type for 'RecuperarPerdidos'\": the service would not start"},
     2},
    {"no Horarios key, which the service would create",
     [](StatusWorld& t) { t.Settings(); },
     {L"  Load: fails with \"Failed to get data for '00:00'\": the service would not start"},
     2},
    {"ServidorBackup wrongly typed",
     [](StatusWorld& t) { t.registry.set(kMain, L"ServidorBackup", reg_dword(7)); },
     {L"  ServidorBackup: a REG_DWORD, 7: refused: Invalid data type for 'ServidorBackup'",
      L"  TestaConexao: not called: ServidorBackup is refused",
      L"  Scheduled runs: no: ServidorBackup is refused, so the service cannot start"},
     2},
    {"ServidorBackup with a port",
     [](StatusWorld& t) { t.registry.set(kMain, L"ServidorBackup", reg_string(L"127.0.0.1:5660")); },
     {L"  ServidorBackup: 127.0.0.1:5660: refused: Invalid 'ServidorBackup': \"127.0.0.1:5660\" is not a host "
      L"name or an address (no scheme, port or path)"},
     2},
    {"not installed",
     [](StatusWorld& t) { t.Uninstall(); },
     {L"  Installed: no", L"  Scheduled runs: no: the service is not installed"},
     2},
    {"installed with its start disabled",
     [](StatusWorld& t) {
       t.Uninstall();
       t.Install(kDisabled);
     },
     {L"  Start type: disabled", L"  Scheduled runs: no: the service's start is disabled"},
     2},
    {"backup program missing",
     [](StatusWorld& t) { std::filesystem::remove(t.dir.path() / "backup_vostrani.exe"); },
     {L"  Scheduled runs: no: the backup program is missing"},
     2},
    // Sound, but not everything could be checked: UNKNOWN.
    {"the central server down",
     [](StatusWorld& t) { t.RedirectTo(StatusWorld::ClosedPort()); },
     {L"  WSDL fetched: no", L"  TestaConexao: fails: Unable to load WSDL File/Location: http://127.0.0.1:5660/*",
      kBothRun[0], L"  Requested runs: no: the central web service does not answer"},
     3},
    {"no connection reported, the server up",
     [](StatusWorld& t) { t.network.set_connected(false); },
     {L"  Network: no connection reported: the poll makes no call", kBothRun[0],
      L"  Requested runs: no: no network connection is reported, so the poll makes no call"},
     3},
    {"the control manager refuses to open the service",
     [](StatusWorld& t) { t.database.faults.FailNext("open_service", 5); },
     {L"  Installed: unknown: *",
      L"  Scheduled runs: cannot tell: whether the service is installed cannot be asked of the control manager"},
     3},
};

TEST(StatusReport, TellsWhatTheServiceWillDoAndChangesNothing) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Check(c);
  }
}


TEST(NextScheduledLaunch, TheFirstEnabledHourFromThisOneOnTodayOrTomorrow) {
  struct Case {
    std::vector<int> hours;
    int hour, minute;
    std::optional<base::TDateTime> next;
  } cases[] = {
      {{14}, 14, 59, base::EncodeDate(2026, 3, 25) + base::EncodeTime(14, 0, 0, 0)},
      {{3, 15}, 14, 0, base::EncodeDate(2026, 3, 25) + base::EncodeTime(15, 0, 0, 0)},
      {{3, 13}, 14, 0, base::EncodeDate(2026, 3, 26) + base::EncodeTime(3, 0, 0, 0)},
      {{0}, 23, 30, base::EncodeDate(2026, 3, 26)},  // past midnight
      {{}, 14, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    std::array<bool, 24> hours{};
    for (int h : c.hours) hours[h] = true;
    const base::TDateTime now = base::EncodeDate(2026, 3, 25) + base::EncodeTime(c.hour, c.minute, 0, 0);
    EXPECT_EQ(NextScheduledLaunch(hours, now), c.next) << c.hour << ":" << c.minute;
  }
}

// A console that is there or not, and the dialogs shown instead.
class ConsoleOrDialog : public platform::Console, public platform::Dialogs {
 public:
  bool has_console = true;
  std::wstring written, shown;
  platform::DialogIcon icon = platform::DialogIcon::Error;
  core::Status write_text(const std::wstring& text) override {
    if (!has_console) return core::Status::SystemError(6);  // no handle
    written += text;
    return core::Status::Ok();
  }
  void show_message(const std::wstring&, const std::wstring& text, platform::DialogIcon i) override {
    shown += text;
    icon = i;
  }
  bool visible_window_station() override { return true; }
  void write_error(const std::wstring&, const std::wstring&) override {}
};

TEST(HelpCommand, GoesToTheConsoleOrWithoutOneIntoAnInformationDialog) {
  ConsoleOrDialog out;
  platform::ScopedOverride<platform::Console> use_console{&platform::Host::console, &out};
  platform::ScopedOverride<platform::Dialogs> use_dialogs{&platform::Host::dialogs, &out};
  EXPECT_EQ(RunHelpCommand(), 0);
  EXPECT_NE(out.written.find(L"/STATUS"), std::wstring::npos);
  EXPECT_EQ(out.shown, L"");
  out.has_console = false;
  EXPECT_EQ(RunHelpCommand(), 0);
  EXPECT_EQ(out.shown, HelpText());
  EXPECT_EQ(out.icon, platform::DialogIcon::Information);
  // A console 80 columns wide must not wrap it.
  std::wistringstream lines(HelpText());
  for (std::wstring line; std::getline(lines, line);) EXPECT_LE(line.size(), 79u) << core::ToUtf8(line);
}


// Which build answered matters when several copies lie around a fleet.
TEST(HelpAndStatusTexts, BeginWithTheProgramAndTheVersionItWasBuiltAs) {
  const std::wstring first = L"SrvBackupVostrani.exe " + std::wstring(core::kProductVersion);
  EXPECT_EQ(HelpText().substr(0, first.size() + 1), first + L":");
  EXPECT_EQ(RenderStatus(StatusReportFacts{}).substr(0, first.size() + 1), first + L"\n");
}


}  // namespace
