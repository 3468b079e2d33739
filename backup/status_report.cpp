#include "backup/status_report.h"

#include <algorithm>

#include "backup/USrvBackup.h"
#include "backup/backup_paths.h"
#include "backup/run_log.h"
#include "backup/request_poll.h"
#include "backup/schedule.h"
#include "backup/web_service_location.h"
#include "base/os_errors.h"
#include "backup/stored_names.h"
#include "base/os_errors.h"
#include "base/ini_file.h"
#include "core/text.h"
#include "base/paths.h"
#include "platform/connectivity.h"
#include "platform/file_access.h"
#include "platform/process_info.h"
#include "platform/files.h"
#include "platform/host.h"
#include "service/service.h"
#include "soap/http_transport.h"
#include "soap/wsdl.h"

namespace backup {
namespace {

constexpr uint32_t kErrorServiceDoesNotExist = 1060;
constexpr uint32_t kStartDisabled = 4;
constexpr uint32_t kRunning = 4;

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
  platform::ScopedScHandle manager_handle(database, manager.value());
  const core::Result<platform::ScHandle> service =
      database.open_service(manager.value(), kServiceName, platform::kServiceQueryConfigAndStatus);
  if (!service.ok()) {
    if (service.status().code() != kErrorServiceDoesNotExist) facts.query = service.status();
    return facts;
  }
  platform::ScopedScHandle service_handle(database, service.value());
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
  facts.key_found = load.key_found;
  facts.switch_value = load.switch_value;
  facts.enabled = enabled;
  facts.any_day = load.any_day;
  for (int h = 0; h < 24; ++h) facts.hours[h] = slots[h].Enabled;
  facts.now = base::Now();
  facts.catch_up = load.catch_up;
  if (facts.load_failure.empty()) {
    facts.next_launch = NextScheduledLaunch(facts.hours, facts.now);
    if (facts.catch_up) facts.missed = MissedHour(facts.hours, facts.now, RecordedLaunch().value_or(0));
  }
  return facts;
}

FileFacts GatherFileFacts() {
  FileFacts facts;
  platform::Files& files = *platform::host().files;
  facts.program_path = BackupProgramPath();
  facts.program_present = files.is_file(facts.program_path);
  facts.run_log_path = RunLogPath();
  base::TIniFile run_log(facts.run_log_path);
  facts.executed = run_log.ReadString(kRunLogSection, kRunLogExecuted, L"");
  facts.error = run_log.ReadString(kRunLogSection, kRunLogError, L"");
  facts.ini_path = CompanyIniPath();
  facts.ini_present = files.is_file(facts.ini_path);
  facts.company = ReadCompanyNumber();
  return facts;
}

WebFacts GatherWebFacts(TTavSrvBackup& module) {
  WebFacts facts;
  facts.host = ReadServerHostSetting();
  facts.connected = platform::host().connectivity->connected();
  if (!facts.host.failure.empty()) return facts;
  module.PointHTTPRIOAt(facts.host.host);
  soap::THTTPRIO& rio = module.HTTPRIO;
  facts.wsdl_location = rio.WSDLLocation();
  try {
    std::shared_ptr<soap::IcoKelvo> service = rio.GetIcoKelvo();
    MakeCall(facts.testa, rio, [&] { return service->TestaConexao(); });
    facts.endpoint = rio.HTTPWebNode().URL();
  } catch (...) {
    facts.testa.made = true;
    facts.testa.failure = service::CurrentExceptionMessage();
  }
  facts.wsdl_loaded = rio.WSDLItems() && rio.WSDLItems()->Active();
  return facts;
}

// The folder the service runs from and the two programs in it: whoever may
// write them may run code as the service's account.
std::vector<AccessFacts> GatherAccessFacts() {
  std::vector<AccessFacts> facts;
  std::wstring folder = base::ExecutableDirectory();
  if (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  const std::wstring program = BackupProgramPath();
  std::vector<std::wstring> paths = {folder, platform::host().process->executable_path()};
  if (platform::host().files->is_file(program)) paths.push_back(program);
  for (const std::wstring& path : paths) facts.push_back({path, platform::host().file_access->untrusted_writers(path)});
  return facts;
}

StatusReportFacts GatherStatus(TTavSrvBackup& module) {
  StatusReportFacts facts;
  facts.service = GatherServiceFacts();
  facts.schedule = GatherScheduleFacts();
  facts.files = GatherFileFacts();
  facts.web = GatherWebFacts(module);
  facts.access = GatherAccessFacts();
  return facts;
}

namespace {

std::wstring StateWords(uint32_t state) {
  static const wchar_t* const kWords[] = {L"in an unknown state", L"stopped",  L"starting", L"stopping",
                                          L"running",             L"resuming", L"pausing",  L"paused"};
  return state < 8 ? kWords[state] : L"in an unknown state";
}

std::wstring Joined(const std::vector<std::wstring>& items) {
  std::wstring text;
  for (const std::wstring& item : items) text += (text.empty() ? L"" : L", ") + item;
  return text;
}

void JudgeService(const ServiceFacts& s, Verdicts& v) {
  if (!s.installed) {
    if (s.query.ok()) v.nothing_runs.push_back(L"the service is not installed");
    else v.service_unknown.push_back(L"whether the service is installed cannot be asked of the control manager");
    return;
  }
  if (!s.query.ok()) {
    v.service_unknown.push_back(L"the state of the service cannot be asked of the control manager");
    return;
  }
  if (s.state.start_type == kStartDisabled) v.nothing_runs.push_back(L"the service's start is disabled");
  if (s.state.current_state != kRunning) v.nothing_runs.push_back(L"the service is " + StateWords(s.state.current_state));
}

void JudgeConfiguration(const StatusReportFacts& f, Verdicts& v) {
  if (!f.schedule.load_failure.empty()) v.nothing_runs.push_back(L"the configuration fails to load, so the service cannot start");
  else if (!f.schedule.enabled) v.nothing_runs.push_back(L"SERVICO is not \"S\", so the service does not start");
  if (!f.web.host.failure.empty()) v.nothing_runs.push_back(L"ServidorBackup is refused, so the service cannot start");
  if (!f.files.program_present) v.nothing_runs.push_back(L"the backup program is missing");
  if (f.schedule.load_failure.empty() && f.schedule.key_found) {
    if (!f.schedule.any_day) v.scheduled_off.push_back(L"every weekday value is 0");
    else if (std::find(f.schedule.hours.begin(), f.schedule.hours.end(), true) == f.schedule.hours.end())
      v.scheduled_off.push_back(L"no hour is enabled");
  }
  if (core::Trim(f.files.company).empty()) v.requested_off.push_back(L"the company number is blank");
}

void JudgeWeb(const WebFacts& w, Verdicts& v) {
  if (!w.host.failure.empty()) return;
  if (w.connected.ok() && !w.connected.value()) {
    v.requested_unknown.push_back(L"no network connection is reported, so the poll makes no call");
    return;
  }
  if (!w.testa.failure.empty()) v.requested_unknown.push_back(L"the central web service does not answer");
  else if (core::Trim(w.testa.answer).empty())
    v.requested_unknown.push_back(L"the answer of TestaConexao is blank, so the poll goes no further");
}

void JudgeAccess(const std::vector<AccessFacts>& access, Verdicts& v) {
  for (const AccessFacts& a : access)
    if (a.writers.ok() && !a.writers.value().empty())
      v.warnings.push_back(a.path + L" may be written by " + Joined(a.writers.value()) +
                           L", who could then run code as the service's account");
}

}  // namespace

Verdicts Judge(const StatusReportFacts& facts) {
  Verdicts v;
  JudgeService(facts.service, v);
  JudgeConfiguration(facts, v);
  JudgeWeb(facts.web, v);
  JudgeAccess(facts.access, v);
  const bool both_off = !v.scheduled_off.empty() && !v.requested_off.empty();
  if (!v.nothing_runs.empty() || both_off) v.exit_code = kStatusCritical;
  else if (!v.service_unknown.empty() || !v.requested_unknown.empty()) v.exit_code = kStatusUnknown;
  else if (!v.scheduled_off.empty() || !v.requested_off.empty() || !v.warnings.empty()) v.exit_code = kStatusWarning;
  return v;
}

int StatusExitCode(const StatusReportFacts& facts) { return Judge(facts).exit_code; }

std::vector<std::wstring> AccessWarnings() {
  Verdicts v;
  JudgeAccess(GatherAccessFacts(), v);
  return v.warnings;
}

std::wstring StatusName(int exit_code) {
  static const wchar_t* const kNames[] = {L"OK", L"WARNING", L"CRITICAL", L"UNKNOWN"};
  return exit_code >= 0 && exit_code <= 3 ? kNames[exit_code] : L"UNKNOWN";
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
