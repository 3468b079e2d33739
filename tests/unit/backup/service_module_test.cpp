#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <thread>

#include "backup/USrvBackup.h"
#include "backup/schedule.h"
#include "backup/web_service_location.h"
#include "base/ini_file.h"
#include "core/exceptions.h"
#include "core/utf.h"
#include "central_service.h"
#include "platform/host.h"
#include "platform/http.h"
#include "platform/sim/registry_keys.h"
#include "platform/sim/event_log.h"
#include "platform/sim/connectivity.h"
#include "platform/sim/service_control.h"
#include "platform/sim/service_database.h"
#include "platform/threads.h"
#include "service/installation.h"
#include "service/service_status.h"
#include "support/soap_fixtures.h"
#include "soap/http_transport.h"
#include "support/fakes.h"
#include "support/mock_clock.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"
#include "event_loop/message_queue.h"

using namespace backup;
using namespace backup_test;
using namespace std::chrono_literals;
using platform::reg_dword;
using platform::reg_string;
using States = std::vector<uint32_t>;

namespace {

constexpr uint32_t kStopped = 1, kStartPending = 2, kStopPending = 3, kRunning = 4, kContinuePending = 5,
                   kPausePending = 6, kPaused = 7;
const std::wstring kMain = L"Software\\Tav7Backup";
const std::wstring kHours = L"Software\\Tav7Backup\\Horarios";

using testing_support::WaitUntil;

// The real shell, with the launches counted as they are made: a launch is
// counted before its tick ends, its program's own record comes later.
class CountingShell : public platform::Shell {
 public:
  explicit CountingShell(platform::Shell& real) : real_(real) {}
  std::atomic<int> launches{0};
  core::Status start_hidden(const std::wstring& file, const std::wstring& parameters,
                            const std::wstring& directory) override {
    ++launches;
    return real_.start_hidden(file, parameters, directory);
  }

 private:
  platform::Shell& real_;
};

// The executable's place, the priority classes asked for, and the workers'
// pause, which returns at once unless a test holds it.
class GatedProcess : public platform::ProcessInfo {
 public:
  std::wstring exe;
  std::wstring executable_path() override { return exe; }
  void set_priority_class(platform::PriorityClass p) override {
    std::lock_guard lock(mutex_);
    classes_.push_back(p);
  }
  void sleep_ms(uint32_t) override {
    std::unique_lock lock(mutex_);
    ++sleepers_;
    opened_.wait(lock, [this] { return open_; });
    --sleepers_;
  }
  void Hold() {
    std::lock_guard lock(mutex_);
    open_ = false;
  }
  void Release() {
    std::lock_guard lock(mutex_);
    open_ = true;
    opened_.notify_all();
  }
  int Sleepers() {
    std::lock_guard lock(mutex_);
    return sleepers_;
  }
  size_t ClassChanges() {
    std::lock_guard lock(mutex_);
    return classes_.size();
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = true;
  int sleepers_ = 0;
  std::vector<platform::PriorityClass> classes_;
};

// The real threads, with the priorities given to them recorded and, on
// demand, refused.
class RecordingThreads : public platform::Threads {
 public:
  explicit RecordingThreads(platform::Threads& real) : real_(real) {}
  std::vector<platform::ThreadPriority> priorities;
  int created = 0;
  bool refuse_priority = false;

  core::Result<std::unique_ptr<platform::ThreadHandle>> create_suspended(std::function<void()> body) override {
    ++created;
    auto real = real_.create_suspended(std::move(body));
    if (!real.ok()) return real.status();
    return std::unique_ptr<platform::ThreadHandle>(std::make_unique<Handle>(*this, std::move(real.value())));
  }
  uint32_t current_thread_id() override { return real_.current_thread_id(); }
  void name_current_thread(const char* name) override { real_.name_current_thread(name); }
  void at_current_thread_exit(void (*cleanup)(void*), void* value) override {
    real_.at_current_thread_exit(cleanup, value);
  }

 private:
  class Handle : public platform::ThreadHandle {
   public:
    Handle(RecordingThreads& owner, std::unique_ptr<platform::ThreadHandle> real)
        : owner_(owner), real_(std::move(real)) {}
    core::Result<uint32_t> resume() override { return real_->resume(); }
    core::Result<uint32_t> suspend() override { return real_->suspend(); }
    core::Status set_priority(platform::ThreadPriority p) override {
      if (owner_.refuse_priority) return core::Status::SystemError(5);  // access denied
      owner_.priorities.push_back(p);
      return real_->set_priority(p);
    }
    void wait() override { real_->wait(); }
    uint32_t id() const override { return real_->id(); }

   private:
    RecordingThreads& owner_;
    std::unique_ptr<platform::ThreadHandle> real_;
  };
  platform::Threads& real_;
};

// The module as the process hosts it, run by the simulated control manager
// with its settings in the in-memory registry; the executable lives in a
// directory with blanks in its name. Time moves when the test says so.
class ServiceModule : public testing::Test {
 protected:
  testing_support::TempDir dir{"tav module dir"};
  GatedProcess process;
  testing_support::MockClock clock;
  CountingShell shell{*platform::host().shell};
  testing_support::FixedLocale locale = testing_support::FixedLocale::BrazilianPortuguese();
  platform::MemoryRegistryKeys registry;
  platform::SimulatedServiceControl scm;
  platform::RecordedEventLog log;
  platform::SimulatedConnectivity network;
  platform::ScopedOverride<platform::ProcessInfo> use_process{&platform::Host::process, &process};
  platform::ScopedOverride<platform::Clock> use_clock{&platform::Host::clock, &clock};
  platform::ScopedOverride<platform::Locale> use_locale{&platform::Host::locale, &locale};
  platform::ScopedOverride<platform::RegistryKeys> use_registry{&platform::Host::registry_keys, &registry};
  platform::ScopedOverride<platform::ServiceControl> use_scm{&platform::Host::service_control, &scm};
  platform::ScopedOverride<platform::EventLog> use_log{&platform::Host::event_log, &log};
  platform::ScopedOverride<platform::Connectivity> use_network{&platform::Host::connectivity, &network};
  platform::ScopedOverride<platform::Shell> use_shell{&platform::Host::shell, &shell};
  std::unique_ptr<TTavSrvBackup> module;
  std::thread dispatcher;
  std::atomic<bool> dispatched{false};

  void SetUp() override {
    dispatched = false;
    ServiceEnabled = false;
    HourSlots = {};
    CatchUpMissed = false;
    LastScheduledLaunch = 0;
    service::ProcessCheckPointMemory() = {};
    process.exe = dir.file(L"SrvBackupVostrani.exe");
    clock.set(2026, 3, 25, 14, 0, 0);
    module = std::make_unique<TTavSrvBackup>();
  }

  void TearDown() override {
    process.Release();
    if (dispatcher.joinable()) {
      if (!dispatched) Send(platform::kControlStop);
      dispatcher.join();
    }
    module.reset();
    ServiceEnabled = false;
    HourSlots = {};
    CatchUpMissed = false;
    LastScheduledLaunch = 0;
  }

  // "Todo Dia" and the 14:00 slot on, unless told otherwise.
  void Settings(const wchar_t* servico, bool withDomingo = true) {
    registry.set(kMain, L"SERVICO", reg_string(servico));
    for (int i = 1; i <= 8; ++i) registry.set(kMain, DayNames[i], reg_dword(i == 8));
    if (!withDomingo) registry.remove_value(kMain, DayNames[1]);
    for (int h = 0; h < 24; ++h) {
      wchar_t name[8];
      std::swprintf(name, 8, L"%02d:00", h);
      registry.set(kHours, name, reg_dword(h == 14));
    }
  }

  // The real backup program's stand-in, which records each start.
  std::filesystem::path PlaceRecordingProgram() {
    std::filesystem::path stub = TAV_RECORD_START;
#ifdef _WIN32
    if (stub.string().rfind("/", 0) == 0) stub = "Z:" + stub.string();  // Wine's view of the build tree
#endif
    std::filesystem::copy_file(stub, dir.path() / "backup_vostrani.exe");
    return dir.path() / "backup_vostrani.exe.calls";
  }

  void Start() {
    scm.start_service(kServiceName);
    dispatcher = std::thread([this] {
      (void)scm.run_dispatcher({kServiceName},
                               [this](const std::vector<std::wstring>& a) { service::ServiceEntry({module.get()}, a); });
      dispatched = true;
    });
  }
  void Send(uint32_t code) { EXPECT_EQ(scm.send_control(kServiceName, code), 0u) << code; }
  bool Reached(uint32_t state) { return scm.wait_for_state(kServiceName, state); }
  bool Finished() { return WaitUntil([this] { return dispatched.load(); }); }
  States StatesSince(size_t first) const {
    States states;
    const auto reports = scm.reports(kServiceName);
    for (size_t i = first; i < reports.size(); ++i) states.push_back(reports[i].current_state);
    return states;
  }
  std::vector<std::wstring> LogTexts() const {
    std::vector<std::wstring> texts;
    for (const auto& e : log.entries()) texts.push_back(e.text);
    return texts;
  }
};

std::string FirstLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line.substr(0, line.find('|'));
}

}  // namespace

TEST_F(ServiceModule, CreationArmsBothTimersAndSetsUpTheProxy) {
  EXPECT_EQ(module->Name(), L"TavSrvBackup");
  EXPECT_EQ(module->DisplayName(), L"TAV Servi\u00E7o de Backup");
  EXPECT_TRUE(module->Timer.Armed());
  EXPECT_EQ(module->Timer.Interval(), 10000u);
  EXPECT_TRUE(module->TimerWeb.Armed());
  EXPECT_EQ(module->TimerWeb.Interval(), 60000u);
  EXPECT_EQ(module->ControlsAccepted(), 7u);
  EXPECT_EQ(TavSrvBackup(), module.get());
  EXPECT_EQ(module->HTTPRIO.WSDLLocation(), L"http://" TAV_WSDL_HOST_TEXT L":5660/VostraniKelvoP/Kelvo.dll/wsdl/IcoKelvo");
  EXPECT_EQ(module->HTTPRIO.Service(), L"IcoKelvoservice");
  EXPECT_EQ(module->HTTPRIO.Port(), L"IcoKelvoPort");
  EXPECT_EQ(module->HTTPRIO.URL(), L"");
}

enum class Config { On, Off, NoKey, NoDomingo };
struct StartCase {
  const char* name;
  Config settings;
  States states;
  std::vector<std::wstring> log;
  bool timers_armed;
  std::optional<platform::RegValue> servidor = std::nullopt;  // "ServidorBackup"
};

class StartPath : public ServiceModule, public testing::WithParamInterface<StartCase> {};

TEST_P(StartPath, RunsOnlyWhenSwitchedOn) {
  const StartCase& c = GetParam();
  switch (c.settings) {
    case Config::On: Settings(L"S"); break;
    case Config::Off: Settings(L"s"); break;
    case Config::NoKey: break;
    case Config::NoDomingo: Settings(L"S", false); break;
  }
  if (c.servidor) registry.set(kMain, L"ServidorBackup", *c.servidor);
  Start();
  ASSERT_TRUE(WaitUntil([&] { return StatesSince(0).size() >= c.states.size(); }));
  EXPECT_EQ(StatesSince(0), c.states);
  EXPECT_EQ(LogTexts(), c.log);
  EXPECT_EQ(module->Timer.Armed(), c.timers_armed);
  EXPECT_EQ(module->TimerWeb.Armed(), c.timers_armed);
  if (c.states.back() == kRunning) Send(platform::kControlStop);
  EXPECT_TRUE(Finished());
}

INSTANTIATE_TEST_SUITE_P(
    ServiceModule, StartPath,
    testing::Values(StartCase{"SwitchedOn", Config::On, {kStartPending, kStartPending, kRunning}, {}, true},
                    StartCase{"SwitchedOff", Config::Off, {kStartPending, kStartPending, kStopped}, {}, false},
                    StartCase{"NoSettingsKey", Config::NoKey, {kStartPending, kStartPending, kStopped}, {}, false},
                    // The failure leaves the timers as creation armed them.
                    StartCase{"NoDomingoValue",
                              Config::NoDomingo,
                              {kStartPending, kStartPending, kStopped},
                              {L"Service failed on start: Failed to get data for 'Domingo'"},
                              true},
                    // A switched-off start reads nothing more and logs nothing.
                    StartCase{"SwitchedOffWithAWronglyTypedHost",
                              Config::Off,
                              {kStartPending, kStartPending, kStopped},
                              {},
                              false,
                              reg_dword(7)},
                    StartCase{"SwitchedOnWithAWronglyTypedHost",
                              Config::On,
                              {kStartPending, kStartPending, kStopped},
                              {L"Service failed on start: Invalid data type for 'ServidorBackup'"},
                              false,
                              reg_dword(7)},
                    StartCase{"SwitchedOnWithAHostAndPort",
                              Config::On,
                              {kStartPending, kStartPending, kStopped},
                              {L"Service failed on start: Invalid 'ServidorBackup': \"host:8080\" is not a host name "
                               L"or an address (no scheme, port or path)"},
                              false,
                              reg_string(L"host:8080")}),
    [](const testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

TEST_F(ServiceModule, CentralServerHostIsReadAtEachStart) {
  Settings(L"S");
  bool started = true;
  registry.set(kMain, L"ServidorBackup", reg_string(L" 127.0.0.1 "));
  module->ServiceStart(module.get(), started);
  EXPECT_EQ(module->HTTPRIO.WSDLLocation(), L"http://127.0.0.1:5660/VostraniKelvoP/Kelvo.dll/wsdl/IcoKelvo");
  EXPECT_EQ(module->HTTPRIO.Service(), L"IcoKelvoservice");
  EXPECT_EQ(module->HTTPRIO.Port(), L"IcoKelvoPort");
  registry.set(kMain, L"ServidorBackup", reg_string(L""));
  module->ServiceStart(module.get(), started);
  EXPECT_EQ(module->HTTPRIO.WSDLLocation(), L"http://" TAV_WSDL_HOST_TEXT L":5660/VostraniKelvoP/Kelvo.dll/wsdl/IcoKelvo");
}

TEST(ServerHost, HostNamesAndAddressesOnlyIPv6InBrackets) {
  struct {
    const wchar_t* text;
    const wchar_t* host;  // null: refused
  } cases[] = {
      {L"backup.example.com", L"backup.example.com"}, {L"SRV_01", L"SRV_01"}, {L"10.0.0.7", L"10.0.0.7"},
      {L"::1", L"[::1]"}, {L"[fe80::1]", L"[fe80::1]"}, {L"2001:db8:0:0:0:0:0:1", L"[2001:db8:0:0:0:0:0:1]"},
      {L"::ffff:10.0.0.7", L"[::ffff:10.0.0.7]"}, {L"host:8080", nullptr}, {L"http://host", nullptr},
      {L"host/path", nullptr}, {L"two words", nullptr}, {L"-host", nullptr}, {L"a..b", nullptr},
      {L"fe80::1%eth0", nullptr}, {L"1:2:3", nullptr}, {L"1::2::3", nullptr}, {L"[host]", nullptr},
      {L"h\r\nX: y", nullptr}, {L"", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(core::ToUtf8(c.text));
    if (c.host) EXPECT_EQ(UrlHost(c.text), c.host);
    else EXPECT_THROW(UrlHost(c.text), core::Exception);
  }
}

// Until the start moves them, the timers tick on the main thread; such a
// tick must neither read the schedule nor launch, whatever the service
// thread is loading at the time.
TEST_F(ServiceModule, ATickOffTheServiceThreadDoesNothing) {
  module->Timer.SetEnabled(false);
  module->Timer.SetEnabled(true);
  const auto calls = PlaceRecordingProgram();
  ServiceEnabled = true;
  HourSlots[14] = {14, false, true, 0};
  clock.jump_by(10000);
  int dispatched_here = 0;
  for (event_loop::TMessage m; event_loop::TryTakeMessage(m); ++dispatched_here) event_loop::DispatchToWindow(m);
  EXPECT_EQ(dispatched_here, 1);  // the tick came, on this thread
  EXPECT_EQ(HourSlots[14].LastRunDate, 0);
  EXPECT_FALSE(std::filesystem::exists(calls));
  module->Timer.SetEnabled(false);
}

TEST_F(ServiceModule, ScheduledRunStartsTheProgramOnceInItsHour) {
  Settings(L"S");
  const auto calls = PlaceRecordingProgram();
  Start();
  ASSERT_TRUE(Reached(kRunning));
  clock.fast_forward_by(9999);
  EXPECT_EQ(shell.launches, 0);
  clock.fast_forward_by(1);  // 14:00:10
  EXPECT_EQ(shell.launches, 1);
  EXPECT_EQ(base::TIniFile(dir.file(L"LOGSrvBackup.ini")).ReadString(L"BACKUP", L"EXECUTADO", L""),
            L"25/03/2026 14:00:10");
  clock.fast_forward_by(59 * 60000 - 10000);  // every other tick of the hour
  EXPECT_EQ(shell.launches, 1);
  Send(platform::kControlStop);
  ASSERT_TRUE(Finished());
  EXPECT_EQ(HourSlots[14].LastRunDate, base::EncodeDate(2026, 3, 25));
  ASSERT_TRUE(WaitUntil([&] { return !FirstLine(calls).empty(); }));
  EXPECT_EQ(FirstLine(calls), "args=ok SERVICO");
  EXPECT_EQ(process.ClassChanges(), 0u);  // a launch leaves the process priority class alone
  EXPECT_TRUE(LogTexts().empty());
}

// Hour 14 only; the last launch recorded the day before. With the option a
// start after 15:00 makes up 14:00 at its first tick, and a sleep across the
// next day's 14:00 makes that one up at the first tick after waking; nothing
// else ever runs. Without it neither runs.
class CatchUpModule : public ServiceModule, public testing::WithParamInterface<bool> {};

TEST_P(CatchUpModule, MissedHourIsMadeUpOnceOnlyWhenAskedFor) {
  const bool on = GetParam();
  clock.set(2026, 3, 25, 15, 20, 0);
  Settings(L"S");
  if (on) registry.set(kMain, L"RecuperarPerdidos", reg_dword(1));
  base::TIniFile run_log(dir.file(L"LOGSrvBackup.ini"));
  run_log.WriteString(L"BACKUP", L"EXECUTADO", L"24/03/2026 14:00:07");
  PlaceRecordingProgram();
  Start();
  ASSERT_TRUE(Reached(kRunning));
  clock.fast_forward_by(10000);  // 15:20:10
  EXPECT_EQ(shell.launches, on ? 1 : 0);
  clock.fast_forward_by(6 * 10000);
  EXPECT_EQ(shell.launches, on ? 1 : 0);
  if (on) {
    EXPECT_EQ(run_log.ReadString(L"BACKUP", L"EXECUTADO", L""), L"25/03/2026 15:20:10");
  }
  // Asleep from 15:21:10 to 13:50:10 the next day, then across 14:00 to
  // 15:10:10; each wake-up brings one tick at once.
  clock.jump_by((22 * 60 + 29) * 60000);
  clock.fast_forward_by(10000);
  EXPECT_EQ(shell.launches, on ? 1 : 0);
  clock.jump_by(80 * 60000 - 10000);
  clock.fast_forward_by(0);
  EXPECT_EQ(shell.launches, on ? 2 : 0);
  clock.fast_forward_by(7 * 10000);
  EXPECT_EQ(shell.launches, on ? 2 : 0);
  if (on) {
    EXPECT_EQ(run_log.ReadString(L"BACKUP", L"EXECUTADO", L""), L"26/03/2026 15:10:10");
  }
  Send(platform::kControlStop);
  ASSERT_TRUE(Finished());
  EXPECT_TRUE(LogTexts().empty());
}

INSTANTIATE_TEST_SUITE_P(ServiceModule, CatchUpModule, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "On" : "Off"; });

// What the run log records at start settles whether 14:00 was missed; an
// unreadable record is no launch: one catch-up, never a failed start.
struct RecordCase {
  const char* name;
  const wchar_t* executed;
  int launches;
};
class CatchUpRecord : public ServiceModule, public testing::WithParamInterface<RecordCase> {};

TEST_P(CatchUpRecord, DecidesTheFirstTick) {
  clock.set(2026, 3, 25, 15, 20, 0);
  Settings(L"S");
  registry.set(kMain, L"RecuperarPerdidos", reg_dword(1));
  base::TIniFile(dir.file(L"LOGSrvBackup.ini")).WriteString(L"BACKUP", L"EXECUTADO", GetParam().executed);
  PlaceRecordingProgram();
  Start();
  ASSERT_TRUE(Reached(kRunning));
  clock.fast_forward_by(4 * 10000);
  EXPECT_EQ(shell.launches, GetParam().launches);
  Send(platform::kControlStop);
  ASSERT_TRUE(Finished());
  EXPECT_TRUE(LogTexts().empty());
}

INSTANTIATE_TEST_SUITE_P(ServiceModule, CatchUpRecord,
                         testing::Values(RecordCase{"Unreadable", L"ontem \u00E0 tarde", 1},
                                         RecordCase{"Empty", L"", 1},
                                         RecordCase{"AfterTheHour", L"25/03/2026 14:00:07", 0}),
                         [](const testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.name); });

// The module's polls reach the loopback central service through the real
// proxy and HTTP client.
class WebModule : public ServiceModule {
 protected:
  CentralService central;
  std::optional<RedirectedHttp> redirect;
  std::optional<platform::ScopedOverride<platform::Http>> use_http;

  void SetUp() override {
    ServiceModule::SetUp();
    redirect.emplace(*platform::host().http, central.port());
    use_http.emplace(&platform::Host::http, &*redirect);
    Settings(L"S");
    clock.set(2026, 3, 25, 13, 0, 0);  // outside the schedule: only polls launch
    std::ofstream(dir.path() / "backup.ini") << "[EMPRESA]\r\nCNPJ=98765432000110\r\n";
  }

  // A stop or shutdown while the poll waits on a server that never answers.
  void EndsPromptlyWhileThePollHangs(uint32_t code) {
    central.Hang();
    Start();
    ASSERT_TRUE(Reached(kRunning));
    clock.jump_by(60000);  // the poll's tick, which hangs
    ASSERT_TRUE(central.server().WaitForRequests(2, 10000));  // the WSDL, then the first call
    const auto asked = std::chrono::steady_clock::now();
    Send(code);
    ASSERT_TRUE(Finished());
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 5s);
    EXPECT_EQ(StatesSince(3), (States{kStopPending, kStopped}));
    EXPECT_TRUE(LogTexts().empty());  // the failed poll is swallowed
  }
};

// The proxy's header and envelope settings, as the central server receives
// them: SOAP 1.1 header lines with the UTF-8 charset, and envelopes byte for
// byte as the golden files hold them (typed, UTF-8 parameters).
TEST_F(WebModule, TheProxysSettingsShowOnTheWire) {
  central.Request("0");  // also a valid integer answer for GravaDados
  auto kelvo = module->HTTPRIO.GetIcoKelvo();
  EXPECT_EQ(kelvo->TestaConexao(), L"OK");
  EXPECT_EQ(kelvo->GravaDados(L"1<2 & 3>0", L"Jo\u00E3o", L"\"q\"", L"a\r\nb", L"C:\\bk\\x.zip", L" F ", L"", 1e15,
                              0.00001),
            0);
  std::vector<testing_support::HttpReceived> posts;
  for (const auto& r : central.server().Requests())
    if (r.RequestLine().rfind("POST ", 0) == 0) posts.push_back(r);
  ASSERT_EQ(posts.size(), 2u);
  EXPECT_EQ(posts[0].Header("SOAPAction"), "\"urn:coKelvoIntf-IcoKelvo#TestaConexao\"");
  EXPECT_EQ(posts[1].Header("SOAPAction"), "\"urn:coKelvoIntf-IcoKelvo#GravaDados\"");
  for (const auto& post : posts) EXPECT_EQ(post.Header("Content-Type"), "text/xml; charset=\"utf-8\"");
  EXPECT_EQ(posts[0].body, testing_support::ReadFixture("requests/TestaConexao.xml"));
  EXPECT_EQ(posts[1].body, testing_support::ReadFixture("requests/GravaDados_texts.xml"));
}

TEST_F(WebModule, RequestedRunStartsTheProgramWithKelvo) {
  const auto calls = PlaceRecordingProgram();
  central.Request("REQ|98.765.432/0001-10|X");
  Start();
  ASSERT_TRUE(Reached(kRunning));
  clock.fast_forward_by(60000);
  EXPECT_EQ(shell.launches, 1);
  ASSERT_TRUE(WaitUntil([&] { return !FirstLine(calls).empty(); }));
  EXPECT_EQ(FirstLine(calls), "args=ok SERVICO KELVO");
  Send(platform::kControlStop);
  ASSERT_TRUE(Finished());
  const auto actions = central.Actions();
  ASSERT_GE(actions.size(), 2u);
  EXPECT_EQ(actions[0], "\"urn:coKelvoIntf-IcoKelvo#TestaConexao\"");
  EXPECT_EQ(actions[1], "\"urn:coKelvoIntf-IcoKelvo#BuscaSolic\"");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "LOGSrvBackup.ini"));
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(WebModule, AnswerForAnotherInstallationStartsNothing) {
  const auto calls = PlaceRecordingProgram();
  central.Request("REQ|98.765.432/0001-11|X");
  Start();
  ASSERT_TRUE(Reached(kRunning));
  clock.fast_forward_by(2 * 60000);
  EXPECT_EQ(central.Actions().size(), 4u);  // two polls
  Send(platform::kControlStop);
  ASSERT_TRUE(Finished());
  EXPECT_EQ(shell.launches, 0);
  EXPECT_FALSE(std::filesystem::exists(calls));
}

TEST_F(WebModule, StopEndsAPollWaitingOnAHungServer) { EndsPromptlyWhileThePollHangs(platform::kControlStop); }

TEST_F(WebModule, ShutdownEndsAPollWaitingOnAHungServer) {
  EndsPromptlyWhileThePollHangs(platform::kControlShutdown);
}

TEST_F(ServiceModule, ControlRequestsWithoutAWorker) {
  Settings(L"S");
  Start();
  ASSERT_TRUE(Reached(kRunning));
  Send(platform::kControlPause);
  ASSERT_TRUE(Reached(kPaused));
  Send(platform::kControlContinue);
  ASSERT_TRUE(WaitUntil([&] { return StatesSince(3).size() >= 4; }));
  Send(platform::kControlShutdown);
  ASSERT_TRUE(Finished());
  EXPECT_EQ(StatesSince(3), (States{kPausePending, kPaused, kContinuePending, kRunning, kStopPending, kStopped}));
  EXPECT_TRUE(LogTexts().empty());
}

// The launch steps, called directly as the tick and the poll call them.
struct Kind {
  const char* name;
  bool (TTavSrvBackup::*run)();
  bool (TTavSrvBackup::*start)(int32_t);
  bool (TTavSrvBackup::*stop)();
  std::function<bool(TTavSrvBackup&)> has_worker;
  std::function<void(TTavSrvBackup&)> create_unstarted;
  std::function<base::TThread*(TTavSrvBackup&)> worker;
  std::wstring parameters;
};

const Kind kKinds[] = {
    {"scheduled", &TTavSrvBackup::RunScheduledBackup, &TTavSrvBackup::StartBackupThread,
     &TTavSrvBackup::StopBackupThread, [](TTavSrvBackup& m) { return m.THRBackup != nullptr; },
     [](TTavSrvBackup& m) { m.THRBackup = std::make_unique<TThreadBackup>(true); },
     [](TTavSrvBackup& m) -> base::TThread* { return m.THRBackup.get(); }, L"ok SERVICO"},
    {"requested", &TTavSrvBackup::RunKelvoBackup, &TTavSrvBackup::StartKelvoThread,
     &TTavSrvBackup::StopKelvoThread, [](TTavSrvBackup& m) { return m.THRKelvo != nullptr; },
     [](TTavSrvBackup& m) { m.THRKelvo = std::make_unique<TThreadKelvo>(true); },
     [](TTavSrvBackup& m) -> base::TThread* { return m.THRKelvo.get(); }, L"ok SERVICO KELVO"},
};

class Launch : public ServiceModule {
 protected:
  testing_support::RecordingShell shell;
  RecordingThreads threads{*platform::host().threads};
  platform::ScopedOverride<platform::Shell> use_shell{&platform::Host::shell, &shell};
  platform::ScopedOverride<platform::Threads> use_threads{&platform::Host::threads, &threads};

  void SetUp() override {
    ServiceModule::SetUp();
    std::ofstream(dir.path() / "backup_vostrani.exe") << "stub";
  }
};

TEST_F(Launch, RunsOneNormalPriorityWorkerOnlyWhenEnabled) {
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    shell.calls.clear();
    threads.priorities.clear();
    ServiceEnabled = false;
    const int before = threads.created;
    EXPECT_FALSE(((*module).*k.run)());
    EXPECT_EQ(threads.created, before);

    ServiceEnabled = true;
    EXPECT_TRUE(((*module).*k.run)());
    EXPECT_EQ(threads.created, before + 1);
    EXPECT_EQ(threads.priorities, std::vector{platform::ThreadPriority::Normal});
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].parameters, k.parameters);
    EXPECT_FALSE(k.has_worker(*module));
  }
  EXPECT_EQ(process.ClassChanges(), 0u);
}

TEST_F(Launch, PriorityFailureEndsTheNeverStartedWorkerUnrun) {
  ServiceEnabled = true;
  threads.refuse_priority = true;
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    EXPECT_FALSE(((*module).*k.run)());
    EXPECT_FALSE(k.has_worker(*module));
  }
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "LOGSrvBackup.ini"));
}

TEST_F(Launch, ExistingWorkerRefusesASecondAndTheStopDisposesOfIt) {
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    k.create_unstarted(*module);
    const int before = threads.created;
    EXPECT_FALSE(((*module).*k.start)(3));
    EXPECT_EQ(threads.created, before);
    EXPECT_TRUE(((*module).*k.stop)());
    EXPECT_FALSE(k.has_worker(*module));
    EXPECT_TRUE(((*module).*k.stop)());  // nothing left to stop
  }
  EXPECT_TRUE(shell.calls.empty());
}

TEST_F(Launch, PauseContinueAndStopWithALiveWorker) {
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    process.Hold();
    k.create_unstarted(*module);
    k.worker(*module)->Start();
    ASSERT_TRUE(WaitUntil([&] { return process.Sleepers() == 1; }));  // in its pause after the start

    bool paused = true, continued = true, stopped = true;
    module->ServicePause(module.get(), paused);
    EXPECT_TRUE(paused);
    EXPECT_TRUE(k.worker(*module)->Suspended());
    module->ServiceContinue(module.get(), continued);
    EXPECT_TRUE(continued);
    EXPECT_FALSE(k.worker(*module)->Suspended());
    module->ServicePause(module.get(), paused);

    // The stop resumes the paused worker and waits for its pause to end.
    std::atomic<bool> returned{false};
    std::thread stopper([&] {
      module->ServiceStop(module.get(), stopped);
      returned = true;
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(returned);
    process.Release();
    stopper.join();
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(k.has_worker(*module));
  }
}

TEST_F(Launch, ShutdownStopsAWorkerOfEitherKind) {
  for (const Kind& k : kKinds) k.create_unstarted(*module);
  module->ServiceShutdown(module.get());
  for (const Kind& k : kKinds) EXPECT_FALSE(k.has_worker(*module)) << k.name;
  EXPECT_TRUE(shell.calls.empty());  // never started, so never run
}

// The description goes to the service just installed through the control
// manager, not to the registry key of an older service named "TavBackup".
TEST_F(ServiceModule, AfterInstallDescribesTheInstalledServiceOnly) {
  platform::SimulatedServiceDatabase database;
  platform::ScopedOverride<platform::ServiceDatabase> use_database{&platform::Host::service_database, &database};
  registry.create_key(L"SYSTEM\\CurrentControlSet\\Services\\TavBackup");
  const platform::ScHandle manager = database.open_manager(platform::kScManagerAllAccess).value();
  for (const wchar_t* name : {L"TavBackup", L"TavSrvBackup"}) {
    platform::ServiceRegistration r;
    r.name = name;
    database.close_handle(database.create_service(manager, r).value());
  }
  database.close_handle(manager);
  module->DescribeService = &service::SetServiceDescription;  // as the executable wires it

  module->AfterInstall()(module.get());
  std::map<std::wstring, std::wstring> descriptions;
  for (const auto& s : database.services()) descriptions[s.registration.name] = s.description;
  EXPECT_EQ(descriptions, (std::map<std::wstring, std::wstring>{{L"TavBackup", L""},
                                                                {L"TavSrvBackup", L"TAV Backup - v1.00"}}));
  EXPECT_FALSE(registry.get(L"SYSTEM\\CurrentControlSet\\Services\\TavBackup", L"Description"));
  EXPECT_EQ(database.open_handles(), 0u);

  database.faults.FailNext("set_description", 5);
  try {
    module->AfterInstall()(module.get());
    FAIL() << "a refused description went unreported";
  } catch (const core::EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), 5u);
  }
  EXPECT_EQ(database.open_handles(), 0u);
}
