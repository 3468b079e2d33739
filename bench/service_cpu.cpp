// CPU that the service spends on its schedule tick and on its request poll:
// the module runs under the simulated control manager with one of its
// timers shortened, the central server answers from a child process on
// loopback, and the process's CPU time over many wakeups is divided by
// their number. Waiting on the network costs no CPU, so it stays out.
//
// Usage: service_cpu tick|poll WAKEUPS PERIOD_MS
// Prints "wakeups=N cpu_us_per_wakeup=X wall_s=Y".
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "backup/USrvBackup.h"
#include "backup/schedule.h"
#include "central_service.h"
#include "platform/host.h"
#include "platform/process_info.h"
#include "platform/sim/memory_registry_keys.h"
#include "platform/sim/recorded_event_log.h"
#include "platform/sim/simulated_connectivity.h"
#include "platform/sim/simulated_service_control.h"
#include "platform/clock.h"
#include "service/service.h"

namespace {

using namespace std::chrono_literals;

constexpr uint32_t kRunning = 4;
constexpr uint32_t kHourMs = 3600 * 1000;
constexpr int kWarmUp = 5;  // the first poll also fetches the WSDL
const char kOtherCompany[] = "17|98.765.432/0001-10|S1|10/12/2026";

double CpuMicroseconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 + usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
}

class ExecutableIn : public platform::ProcessInfo {
 public:
  explicit ExecutableIn(std::filesystem::path dir) : exe_((dir / "SrvBackupVostrani.exe").wstring()) {}
  std::wstring executable_path() override { return exe_; }
  void set_priority_class(platform::PriorityClass) override {}
  void sleep_ms(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

 private:
  std::wstring exe_;
};

// 14:00 all day, so the enabled hours below are never due.
class TwoInTheAfternoon : public platform::Clock {
 public:
  platform::LocalTime local_now() override { return {2026, 12, 10, 14, 0, 0, 0}; }
  uint64_t monotonic_ms() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

// The central server lives in a child so that its CPU is not counted. It
// is forked before this process starts any thread.
struct ChildServer {
  pid_t pid = -1;
  int port = 0;

  bool Start() {
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid = fork();
    if (pid == 0) {
      close(fds[0]);
      backup_test::CentralService central;
      central.Request(kOtherCompany);
      const int served = central.port();
      if (write(fds[1], &served, sizeof served) != sizeof served) _exit(1);
      pause();  // until the parent ends it
      _exit(0);
    }
    close(fds[1]);
    const bool read_port = pid > 0 && read(fds[0], &port, sizeof port) == sizeof port;
    close(fds[0]);
    return read_port;
  }
  ~ChildServer() {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
};

void WriteSettings(platform::MemoryRegistryKeys& registry) {
  const std::wstring main = L"Software\\Tav7Backup", hours = main + L"\\Horarios";
  registry.set(main, L"SERVICO", platform::reg_string(L"S"));
  registry.set(main, L"ServidorBackup", platform::reg_string(L"127.0.0.1"));
  for (int day = 1; day <= 8; ++day) registry.set(main, backup::DayNames[day], platform::reg_dword(day == 8));
  for (int h = 0; h < 24; ++h) registry.set(hours, backup::HourValueName(h), platform::reg_dword(h == 8 || h == 20));
}

int Usage() {
  std::fputs("usage: service_cpu tick|poll WAKEUPS PERIOD_MS\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Usage();
  const std::string what = argv[1];
  const int wakeups = std::atoi(argv[2]);
  const uint32_t period = static_cast<uint32_t>(std::atoi(argv[3]));
  if ((what != "tick" && what != "poll") || wakeups <= 0 || period == 0) return Usage();
  const bool polls = what == "poll";

  ChildServer server;
  if (polls && !server.Start()) {
    std::fputs("service_cpu: the loopback central server did not start\n", stderr);
    return 1;
  }

  platform::install_default_host();
  const auto dir = std::filesystem::temp_directory_path() / ("tav-service-cpu-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "backup.ini") << "[EMPRESA]\r\nCNPJ=12345678000190\r\n";
  ExecutableIn process(dir);
  TwoInTheAfternoon clock;
  platform::MemoryRegistryKeys registry;
  platform::SimulatedServiceControl scm;
  platform::RecordedEventLog log;
  platform::SimulatedConnectivity network;  // one check per poll: the poll counter
  platform::ScopedOverride<platform::ProcessInfo> use_process{&platform::Host::process, &process};
  platform::ScopedOverride<platform::Clock> use_clock{&platform::Host::clock, &clock};
  platform::ScopedOverride<platform::RegistryKeys> use_registry{&platform::Host::registry_keys, &registry};
  platform::ScopedOverride<platform::ServiceControl> use_scm{&platform::Host::service_control, &scm};
  platform::ScopedOverride<platform::EventLog> use_log{&platform::Host::event_log, &log};
  platform::ScopedOverride<platform::Connectivity> use_network{&platform::Host::connectivity, &network};
  backup_test::RedirectedHttp redirect(*platform::host().http, server.port);
  platform::ScopedOverride<platform::Http> use_http{&platform::Host::http, &redirect};
  WriteSettings(registry);

  auto module = std::make_unique<backup::TTavSrvBackup>();
  std::atomic<int> ticks{0};
  module->Timer.SetInterval(polls ? kHourMs : period);
  module->TimerWeb.SetInterval(polls ? period : kHourMs);
  module->Timer.SetOnTimer([&](timers::TComponent* sender) {
    ++ticks;
    module->TimerTimer(sender);
  });
  const std::function<int()> count = [&] { return polls ? network.checks() : ticks.load(); };

  scm.start_service(backup::kServiceName);
  std::thread dispatcher([&] {
    (void)scm.run_dispatcher({backup::kServiceName},
                             [&](const std::vector<std::wstring>& a) { service::ServiceEntry({module.get()}, a); });
  });
  int status = 0;
  if (!scm.wait_for_state(backup::kServiceName, kRunning)) {
    std::fputs("service_cpu: the service did not reach RUNNING\n", stderr);
    status = 1;
  } else {
    while (count() < kWarmUp) std::this_thread::sleep_for(20ms);
    const int first = count();
    const double cpu = CpuMicroseconds();
    const auto began = std::chrono::steady_clock::now();
    while (count() < first + wakeups) std::this_thread::sleep_for(200ms);
    const int done = count() - first;
    const double spent = CpuMicroseconds() - cpu;
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - began;
    std::printf("wakeups=%d cpu_us_per_wakeup=%.3f wall_s=%.1f\n", done, spent / done, wall.count());
    if (!log.entries().empty()) {
      std::fputs("service_cpu: the service wrote to the event log\n", stderr);
      status = 1;
    }
  }
  scm.send_control(backup::kServiceName, 1);  // stop
  dispatcher.join();
  module.reset();
  std::filesystem::remove_all(dir);
  return status;
}
