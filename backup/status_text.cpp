#include "backup/status_text.h"

#include "backup/USrvBackup.h"
#include "backup/run_log.h"
#include "backup/schedule.h"
#include "base/os_errors.h"
#include "backup/stored_names.h"
#include "base/os_errors.h"
#include "core/text.h"
#include "core/version.h"
#include "platform/host.h"
#include "platform/process_info.h"

namespace backup {
namespace {

class Lines {
 public:
  void Heading(const std::wstring& title) { text_ += title + L"\n"; }
  void Fact(const std::wstring& name, const std::wstring& value) { text_ += L"  " + name + L": " + value + L"\n"; }
  void Note(const std::wstring& text) { text_ += L"  " + text + L"\n"; }
  const std::wstring& Text() const { return text_; }

 private:
  std::wstring text_;
};

// Which build answered: the report may come from a copy other than the one installed.
std::wstring ProgramAndVersion() { return L"SrvBackupVostrani.exe " + std::wstring(core::kProductVersion); }

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::wstring YesNo(bool value) { return value ? L"yes" : L"no"; }

std::wstring Joined(const std::vector<std::wstring>& items, const wchar_t* separator = L"; ") {
  std::wstring text;
  for (const std::wstring& item : items) text += (text.empty() ? L"" : separator) + item;
  return text;
}

std::wstring Listed(const std::vector<std::wstring>& names) { return Joined(names, L", "); }

std::wstring StateName(uint32_t state) {
  static const wchar_t* const kNames[] = {L"unknown", L"stopped",          L"start pending", L"stop pending",
                                          L"running", L"continue pending", L"pause pending", L"paused"};
  return state < 8 ? kNames[state] : L"unknown (" + std::to_wstring(state) + L")";
}

std::wstring StartTypeName(uint32_t type) {
  static const wchar_t* const kNames[] = {L"boot", L"system", L"automatic", L"on demand", L"disabled"};
  return type < 5 ? kNames[type] : L"unknown (" + std::to_wstring(type) + L")";
}

std::wstring FailureText(const core::Status& status) {
  return base::SysErrorMessage(status.code()) + L" (" + std::to_wstring(status.code()) + L")";
}

// The registered command without its quotation marks.
std::wstring RegisteredProgram(const std::wstring& command) {
  if (!command.empty() && command[0] == L'"') return command.substr(1, command.find(L'"', 1) - 1);
  return command;
}

std::wstring HourList(const std::array<bool, 24>& hours) {
  std::wstring list;
  for (int h = 0; h < 24; ++h)
    if (hours[h]) list += (list.empty() ? L"" : L", ") + HourValueName(h);
  return list;
}

// "DD/MM/YYYY HH:00" with the locale's separators.
std::wstring LaunchTime(base::TDateTime when) { return RunLogTimestamp(when).substr(0, 16); }

void ServiceSection(Lines& out, const ServiceFacts& s) {
  out.Heading(L"Service " + std::wstring(kServiceName) + L" (" + kServiceDisplayName + L")");
  if (!s.installed) {
    out.Fact(L"Installed", s.query.ok() ? L"no" : L"unknown: " + FailureText(s.query));
    return;
  }
  out.Fact(L"Installed", L"yes");
  if (!s.query.ok()) {
    out.Fact(L"State", L"unknown: " + FailureText(s.query));
    return;
  }
  out.Fact(L"State", StateName(s.state.current_state));
  out.Fact(L"Start type", StartTypeName(s.state.start_type));
  const std::wstring& path = s.state.binary_path;
  const bool quoted = !path.empty() && path[0] == L'"';
  std::wstring quoting = quoted ? L"quoted" : L"not quoted";
  if (!quoted && path.find(L' ') != std::wstring::npos) quoting += L", although it holds a blank";
  out.Fact(L"Registered path", path + L" (" + quoting + L")");
  out.Fact(L"Registered path is this program",
           YesNo(core::SameTextIgnoringCase(RegisteredProgram(path), platform::host().process->executable_path())));
}

std::wstring SwitchText(const ScheduleFacts& s) {
  if (!s.key_found) return L"the key is missing: disabled";
  if (!s.switch_value) return L"missing: disabled";
  if (s.switch_value->empty()) return L"empty: disabled";
  return Quoted(*s.switch_value) + (s.enabled ? L": enabled" : L": disabled (only \"S\" enables)");
}

std::wstring CatchUpText(const ScheduleFacts& s) {
  if (!s.catch_up) return L"off: an hour missed while the machine was off or asleep is not made up";
  if (!s.missed) return L"on: no enabled hour missed";
  return L"on: the " + LaunchTime(*s.missed) +
         L" run has no launch recorded; a start makes it up at its first tick (about 10 s)";
}

void ScheduleSection(Lines& out, const ScheduleFacts& s) {
  out.Heading(L"Configuration (HKEY_LOCAL_MACHINE\\" + std::wstring(kSettingsKey) + L", 32-bit view)");
  out.Fact(L"SERVICO", SwitchText(s));
  if (!s.load_failure.empty()) {
    out.Fact(L"Load", L"fails with \"" + s.load_failure + L"\": the service would not start");
    return;
  }
  if (!s.key_found) return;
  out.Fact(L"RecuperarPerdidos", CatchUpText(s));
  if (!s.any_day) {
    out.Fact(L"Hours", L"not loaded: every weekday value is 0, so no scheduled runs");
    return;
  }
  const std::wstring hours = HourList(s.hours);
  out.Fact(L"Hours", hours.empty() ? L"none enabled, so no scheduled runs" : hours);
  if (!s.next_launch) return;
  const bool this_hour = base::DateOf(*s.next_launch) == base::DateOf(s.now) &&
                         base::DecodeDateTime(*s.next_launch).hour == base::DecodeDateTime(s.now).hour;
  out.Fact(L"Next scheduled launch",
           LaunchTime(*s.next_launch) +
               (this_hour ? L" (this hour, unless already launched today)" : L""));
  out.Note(L"A start of the service within an enabled hour launches that hour again.");
}

void FileSection(Lines& out, const FileFacts& f) {
  out.Heading(L"Files");
  out.Fact(L"Backup program", f.program_path + (f.program_present ? L" (present)" : L" (missing)"));
  out.Fact(L"Run log", f.run_log_path);
  out.Fact(kRunLogExecuted, f.executed.empty() ? L"(none)" : f.executed);
  out.Fact(kRunLogError, f.error.empty() ? L"(none)" : f.error);
  out.Fact(L"Company file", f.ini_path + (f.ini_present ? L" (present)" : L" (missing)"));
  out.Fact(L"CNPJ", core::Trim(f.company).empty() ? L"blank: no poll calls the web service" : f.company);
}

std::wstring CallText(const CallFacts& call) {
  if (!call.failure.empty()) return L"fails: " + call.failure;
  const std::wstring& action = call.soap_action;
  return Quoted(call.answer) + L" (SOAPAction " + (action.starts_with(L'"') ? action : Quoted(action)) + L")";
}

std::wstring HostSettingText(const ServerHostSetting& h) {
  if (!h.failure.empty()) return (h.stored.empty() ? L"(unreadable)" : h.stored) + L": refused: " + h.failure;
  return h.stored.empty() ? L"not set: the built-in host" : h.stored;
}

void WebSection(Lines& out, const WebFacts& w) {
  out.Heading(L"Central web service");
  out.Fact(L"ServidorBackup", HostSettingText(w.host));
  if (!w.wsdl_location.empty()) out.Fact(L"WSDL", w.wsdl_location);
  out.Fact(L"Network", !w.connected.ok()       ? L"cannot tell: " + FailureText(w.connected.status()) +
                                                     L" (the poll still calls)"
                       : w.connected.value() ? L"connected"
                                             : L"no connection reported: the poll makes no call");
  if (!w.testa.made) {
    out.Fact(L"TestaConexao", L"not called: ServidorBackup is refused");
    return;
  }
  out.Fact(L"WSDL fetched", YesNo(w.wsdl_loaded));
  if (!w.endpoint.empty()) out.Fact(L"Endpoint", w.endpoint);
  out.Fact(L"TestaConexao", CallText(w.testa));
  out.Fact(L"BuscaSolic", L"not called: it would take a pending request away from the service");
}

void AccessSection(Lines& out, const std::vector<AccessFacts>& access) {
  out.Heading(L"Who may write (besides the system and administrators)");
  for (const AccessFacts& a : access) {
    if (!a.writers.ok()) out.Fact(a.path, L"cannot tell: " + FailureText(a.writers.status()));
    else out.Fact(a.path, a.writers.value().empty() ? L"nobody" : Listed(a.writers.value()));
  }
}

// "yes", or "no: " / "cannot tell: " and every reason.
std::wstring TriggerText(const std::vector<std::wstring>& no, const std::vector<std::wstring>& unknown) {
  if (!no.empty()) return L"no: " + Joined(no);
  if (!unknown.empty()) return L"cannot tell: " + Joined(unknown);
  return L"yes";
}

std::vector<std::wstring> Both(std::vector<std::wstring> a, const std::vector<std::wstring>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

void ResultSection(Lines& out, const Verdicts& v) {
  out.Heading(L"Result: " + StatusName(v.exit_code) + L" (exit code " + std::to_wstring(v.exit_code) + L")");
  out.Fact(L"Scheduled runs", TriggerText(Both(v.nothing_runs, v.scheduled_off), v.service_unknown));
  out.Fact(L"Requested runs",
           TriggerText(Both(Both(v.nothing_runs, v.requested_off), v.requested_unknown), v.service_unknown));
  for (const std::wstring& warning : v.warnings) out.Note(L"Warning: " + warning + L".");
}

}  // namespace

std::wstring RenderStatus(const StatusReportFacts& facts) {
  Lines out;
  out.Heading(ProgramAndVersion());
  ServiceSection(out, facts.service);
  ScheduleSection(out, facts.schedule);
  FileSection(out, facts.files);
  WebSection(out, facts.web);
  AccessSection(out, facts.access);
  ResultSection(out, Judge(facts));
  return out.Text();
}

std::wstring HelpText() {
  return ProgramAndVersion() + L": " + kServiceDisplayName + L" (" + kServiceName + L")\n"
         L"Starts backup_vostrani.exe, beside this program, at the scheduled hours and\n"
         L"when the central web service asks for a run.\n"
         L"\n"
         L"  /INSTALL     register the service (automatic start, local system account);\n"
         L"               as an administrator\n"
         L"  /UNINSTALL   remove it\n"
         L"  /SILENT      with /INSTALL or /UNINSTALL: no message on success\n"
         L"  /STATUS      report what the service will do and why not; changes nothing,\n"
         L"               launches nothing\n"
         L"  /HELP, /?    this text\n"
         L"Switches begin with \"/\" or \"-\", in any letter case. With no switch, or any\n"
         L"other, the program runs as the service, which only the control manager starts.\n"
         L"\n"
         L"Configuration, read at each start of the service:\n"
         L"  HKEY_LOCAL_MACHINE\\" + kSettingsKey + L" (32-bit view):\n"
         L"    SERVICO: \"S\" enables the service\n"
         L"    Domingo, Segunda, Ter\u00E7a, Quarta, Quinta, Sexta, S\u00E1bado, Todo Dia:\n"
         L"      any non-zero loads the hours\n"
         L"    ServidorBackup: optional host of the central web service: a host name\n"
         L"      or an address only (no scheme, port or path)\n"
         L"    RecuperarPerdidos: optional; non-zero makes up, once, the latest enabled\n"
         L"      hour missed while the machine was off or asleep, at the first tick\n"
         L"      after the start or the wake (EXECUTADO then shows that time)\n"
         L"  HKEY_LOCAL_MACHINE\\" + HoursKey() + L":\n"
         L"    00:00 to 23:00: non-zero schedules a run in that hour\n"
         L"Beside this program: backup.ini, [EMPRESA] CNPJ (read at each poll, every\n"
         L"60 s); LOGSrvBackup.ini, the run log ([" + kRunLogSection + L"] " + kRunLogExecuted + L", " + kRunLogError +
         L").\n"
         L"\n"
         L"Exit codes of /STATUS, those of a monitoring check (OK, WARNING, CRITICAL,\n"
         L"UNKNOWN), so it can be used as a check command as it is:\n"
         L"  0  OK: the service runs; scheduled and requested runs can both happen\n"
         L"  1  WARNING: one of the two is off by configuration (no hour enabled, or\n"
         L"     the company number blank) and the other works; or users who are not\n"
         L"     administrators may write this program, its folder or backup_vostrani.exe\n"
         L"  2  CRITICAL: nothing can run: not installed, start disabled, stopped,\n"
         L"     paused, SERVICO not \"S\", a load failure (ServidorBackup refused\n"
         L"     among them), the backup program missing, or both triggers off\n"
         L"  3  UNKNOWN: the configuration is sound but the central web service could\n"
         L"     not be checked (no answer, or no network connection reported), or the\n"
         L"     control manager could not be asked\n"
         L"/STATUS never calls BuscaSolic: it would take a pending request away from\n"
         L"the service.\n"
         L"\n"
         L"Exit codes of /INSTALL and /UNINSTALL: 0 on success, else the system error\n"
         L"code of the failure (1073 already installed, 1060 not installed, 5 access\n"
         L"denied).\n";
}

}  // namespace backup
