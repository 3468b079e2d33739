// CPU that the service spends on its schedule tick and on its request poll:
// the module runs under the simulated control manager with one of its
// timers shortened, the central server answers from a child process on
// loopback, and the process's CPU time over many wakeups is divided by
// their number. Waiting on the network costs no CPU, so it stays out.
//
// The mode "exchanges" is the poll's floor on this machine: the same two
// calls to the same server, as bare HTTP on one kept-alive socket, with no
// client library, no XML and no service around them.
//
// Usage: service_cpu tick|poll|exchanges WAKEUPS PERIOD_MS
// Prints "wakeups=N cpu_us_per_wakeup=X wall_s=Y".
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "backup/USrvBackup.h"
#include "backup/schedule.h"
#include "backup/stored_names.h"
#include "central_service.h"
#include "platform/host.h"
#include "platform/process_info.h"
#include "platform/sim/registry_keys.h"
#include "platform/sim/event_log.h"
#include "platform/sim/connectivity.h"
#include "platform/sim/service_control.h"
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
  const std::wstring main = backup::kSettingsKey, hours = backup::HoursKey();
  registry.set(main, L"SERVICO", platform::reg_string(L"S"));
  registry.set(main, L"ServidorBackup", platform::reg_string(L"127.0.0.1"));
  for (int day = 1; day <= 8; ++day) registry.set(main, backup::DayNames[day], platform::reg_dword(day == 8));
  for (int h = 0; h < 24; ++h) registry.set(hours, backup::HourValueName(h), platform::reg_dword(h == 8 || h == 20));
}

int Usage() {
  std::fputs("usage: service_cpu tick|poll|exchanges WAKEUPS PERIOD_MS\n", stderr);
  return 2;
}

std::string BareCall(const char* operation) {
  const std::string body =
      std::string("<?xml version=\"1.0\"?><SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/"
                  "envelope/\"><SOAP-ENV:Body><NS1:") + operation +
      " xmlns:NS1=\"urn:coKelvoIntf-IcoKelvo\"/></SOAP-ENV:Body></SOAP-ENV:Envelope>";
  return std::string("POST /soap/IcoKelvo HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml\r\n") +
         "SOAPAction: \"urn:coKelvoIntf-IcoKelvo#" + operation + "\"\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Sends one call and reads its whole answer (framed by Content-Length).
bool BareExchange(int socket_fd, const std::string& call) {
  if (send(socket_fd, call.data(), call.size(), 0) != static_cast<ssize_t>(call.size())) return false;
  char answer[16384];
  size_t got = 0, wanted = 0;
  for (;;) {
    const ssize_t n = recv(socket_fd, answer + got, sizeof answer - got - 1, 0);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
    answer[got] = '\0';
    if (wanted == 0) {
      const char* end = std::strstr(answer, "\r\n\r\n");
      const char* length = strcasestr(answer, "Content-Length:");
      if (!end || !length) continue;
      wanted = static_cast<size_t>(end + 4 - answer) + std::strtoul(length + 15, nullptr, 10);
    }
    if (got >= wanted) return true;
  }
}

int BareExchanges(int port, int wakeups, uint32_t period_ms) {
  const int socket_fd = socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  setsockopt(socket_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);  // as libcurl does
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::perror("service_cpu: connect");
    return 1;
  }
  const std::string calls[] = {BareCall("TestaConexao"), BareCall("BuscaSolic")};
  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  double cpu = 0;
  const auto began = std::chrono::steady_clock::now();
  for (int i = -kWarmUp; i < wakeups; ++i) {
    if (i == 0) cpu = CpuMicroseconds();
    next.tv_nsec += static_cast<long>(period_ms) * 1000000L;
    next.tv_sec += next.tv_nsec / 1000000000L;
    next.tv_nsec %= 1000000000L;
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    for (const std::string& call : calls)
      if (!BareExchange(socket_fd, call)) {
        std::fputs("service_cpu: the server did not answer a bare call\n", stderr);
        return 1;
      }
  }
  const double spent = CpuMicroseconds() - cpu;
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - began;
  std::printf("wakeups=%d cpu_us_per_wakeup=%.3f wall_s=%.1f\n", wakeups, spent / wakeups, wall.count());
  close(socket_fd);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Usage();
  const std::string what = argv[1];
  const int wakeups = std::atoi(argv[2]);
  const uint32_t period = static_cast<uint32_t>(std::atoi(argv[3]));
  if ((what != "tick" && what != "poll" && what != "exchanges") || wakeups <= 0 || period == 0) return Usage();
  const bool polls = what == "poll";

  ChildServer server;
  if ((polls || what == "exchanges") && !server.Start()) {
    std::fputs("service_cpu: the loopback central server did not start\n", stderr);
    return 1;
  }
  if (what == "exchanges") return BareExchanges(server.port, wakeups, period);

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
  module->Timer.SetOnTimer([&](core::TComponent* sender) {
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
