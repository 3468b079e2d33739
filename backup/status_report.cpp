#include "backup/status_report.h"

#include "backup/USrvBackup.h"
#include "backup/backup_paths.h"
#include "backup/request_poll.h"
#include "backup/schedule.h"
#include "backup/web_service_location.h"
#include "base/exceptions.h"
#include "base/ini_file.h"
#include "core/text.h"
#include "platform/connectivity.h"
#include "platform/files.h"
#include "platform/host.h"
#include "service/service.h"
#include "soap/http_transport.h"
#include "soap/wsdl.h"

namespace backup {
namespace {

constexpr uint32_t kErrorServiceDoesNotExist = 1060;
constexpr uint32_t kStartDisabled = 4;

// Closes a control manager handle however the query ends.
class ScopedScHandle {
 public:
  explicit ScopedScHandle(platform::ScHandle handle) : handle_(handle) {}
  ~ScopedScHandle() {
    if (handle_) platform::host().service_database->close_handle(handle_);
  }
  ScopedScHandle(const ScopedScHandle&) = delete;
  ScopedScHandle& operator=(const ScopedScHandle&) = delete;

 private:
  platform::ScHandle handle_;
};

// One call of the poll, with the SOAPAction it went out with.
template <class Call>
void MakeCall(CallFacts& facts, soap::THTTPRIO& rio, Call call) {
  facts.made = true;
  try {
    facts.answer = call();
  } catch (...) {
    facts.failure = service::CurrentExceptionMessage();
  }
  facts.soap_action = rio.HTTPWebNode().SoapAction();
}

}  // namespace

ServiceFacts GatherServiceFacts() {
  ServiceFacts facts;
  platform::ServiceDatabase& database = *platform::host().service_database;
  const core::Result<platform::ScHandle> manager = database.open_manager(platform::kScManagerConnect);
  if (!manager.ok()) {
    facts.query = manager.status();
    return facts;
  }
  ScopedScHandle manager_handle(manager.value());
  const core::Result<platform::ScHandle> service =
      database.open_service(manager.value(), kServiceName, platform::kServiceQueryConfigAndStatus);
  if (!service.ok()) {
    if (service.status().code() != kErrorServiceDoesNotExist) facts.query = service.status();
    return facts;
  }
  ScopedScHandle service_handle(service.value());
  facts.installed = true;
  const core::Result<platform::ServiceState> state = database.query_service(service.value());
  if (state.ok()) facts.state = state.value();
  else facts.query = state.status();
  return facts;
}

ScheduleFacts GatherScheduleFacts() {
  ScheduleFacts facts;
  bool enabled = false;
  std::array<THourSlot, 24> slots{};
  ScheduleReading load{enabled, slots};
  try {
    ReadSchedule(load, ScheduleAccess::LookOnly);
  } catch (...) {
    facts.load_failure = service::CurrentExceptionMessage();
  }
  facts.key_found = load.KeyFound;
  facts.switch_value = load.Switch;
  facts.enabled = enabled;
  facts.any_day = load.AnyDay;
  for (int h = 0; h < 24; ++h) facts.hours[h] = slots[h].Enabled;
  facts.now = base::Now();
  if (facts.load_failure.empty()) facts.next_launch = NextScheduledLaunch(facts.hours, facts.now);
  return facts;
}

FileFacts GatherFileFacts() {
  FileFacts facts;
  platform::Files& files = *platform::host().files;
  facts.program_path = BackupProgramPath();
  facts.program_present = files.is_file(facts.program_path);
  facts.run_log_path = RunLogPath();
  base::TIniFile run_log(facts.run_log_path);
  facts.executed = run_log.ReadString(L"BACKUP", L"EXECUTADO", L"");
  facts.error = run_log.ReadString(L"BACKUP", L"ERRO", L"");
  facts.ini_path = CompanyIniPath();
  facts.ini_present = files.is_file(facts.ini_path);
  facts.company = ReadCompanyNumber();
  return facts;
}

WebFacts GatherWebFacts(TTavSrvBackup& module, const std::wstring& company) {
  WebFacts facts;
  facts.host_setting = ServerHostSetting();
  module.PointHTTPRIOAt(CentralServerHost());
  soap::THTTPRIO& rio = module.HTTPRIO;
  facts.wsdl_location = rio.WSDLLocation();
  facts.connected = platform::host().connectivity->connected();
  try {
    std::shared_ptr<soap::IcoKelvo> service = rio.GetIcoKelvo();
    MakeCall(facts.testa, rio, [&] { return service->TestaConexao(); });
    facts.endpoint = rio.HTTPWebNode().URL();
    if (facts.testa.failure.empty() && !core::Trim(facts.testa.answer).empty())
      MakeCall(facts.busca, rio, [&] { return service->BuscaSolic(); });
  } catch (...) {
    facts.testa.failure = service::CurrentExceptionMessage();
  }
  facts.wsdl_loaded = rio.WSDLItems() && rio.WSDLItems()->Active();
  const std::wstring& answer = facts.busca.answer;
  facts.would_launch = facts.busca.made && facts.busca.failure.empty() && !core::Trim(answer).empty() &&
                       RequestNamesInstallation(answer, company);
  return facts;
}

StatusFacts GatherStatus(TTavSrvBackup& module) {
  StatusFacts facts;
  facts.service = GatherServiceFacts();
  facts.schedule = GatherScheduleFacts();
  facts.files = GatherFileFacts();
  facts.web = GatherWebFacts(module, facts.files.company);
  return facts;
}

std::vector<std::wstring> WhyConfigurationStopsRuns(const StatusFacts& f) {
  std::vector<std::wstring> why;
  if (!f.service.installed) why.push_back(L"the service is not installed");
  else if (f.service.state.start_type == kStartDisabled) why.push_back(L"the service's start is disabled");
  if (!f.schedule.load_failure.empty()) why.push_back(L"the configuration fails to load, so the service cannot start");
  else if (!f.schedule.enabled) why.push_back(L"SERVICO is not \"S\", so the service does not start");
  if (!f.files.program_present) why.push_back(L"the backup program is missing");
  if (core::Trim(f.files.company).empty()) why.push_back(L"the company number is blank, so no run is ever requested");
  return why;
}

bool LiveCheckFailed(const WebFacts& web) {
  return !web.testa.failure.empty() || core::Trim(web.testa.answer).empty() || !web.busca.failure.empty();
}

int StatusExitCode(const StatusFacts& facts) {
  if (!WhyConfigurationStopsRuns(facts).empty()) return kStatusConfigurationStopsRuns;
  if (LiveCheckFailed(facts.web)) return kStatusLiveCheckFailed;
  return kStatusRunsCanHappen;
}

std::optional<base::TDateTime> NextScheduledLaunch(const std::array<bool, 24>& hours, base::TDateTime now) {
  const base::TDateTime today = base::DateOf(now);
  const int hour = base::DecodeDateTime(now).hour;
  for (int step = 0; step < 24; ++step) {
    const int h = (hour + step) % 24;
    if (hours[h]) return today + (hour + step >= 24 ? 1 : 0) + base::EncodeTime(h, 0, 0, 0);
  }
  return std::nullopt;
}

}  // namespace backup
