#pragma once
// What "/STATUS" tells an administrator: the facts that decide whether the
// service will launch the backup program, gathered through the code the
// service itself runs, without changing, creating or launching anything.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/dates.h"
#include "core/status.h"
#include "backup/web_service_location.h"
#include "platform/service_database.h"

namespace backup {

class TTavSrvBackup;

struct ServiceFacts {
  core::Status query;  // the control manager could not be asked
  bool installed = false;
  platform::ServiceState state;
};

struct ScheduleFacts {
  bool key_found = false;
  std::optional<std::wstring> switch_value;  // "SERVICO"; none when missing
  bool enabled = false;
  bool any_day = false;
  std::array<bool, 24> hours{};
  std::wstring load_failure;  // the message that would stop the start
  base::TDateTime now = 0;
  std::optional<base::TDateTime> next_launch;  // the date and hour
  bool catch_up = false;                       // "RecuperarPerdidos"
  std::optional<base::TDateTime> missed;       // the hour a start would make up
};

struct FileFacts {
  std::wstring program_path;
  bool program_present = false;
  std::wstring run_log_path;
  std::wstring executed;  // "EXECUTADO"
  std::wstring error;     // "ERRO"
  std::wstring ini_path;
  bool ini_present = false;
  std::wstring company;  // "CNPJ" as the poll reads it
};

// One remote call of the live check.
struct CallFacts {
  bool made = false;
  std::wstring soap_action;
  std::wstring answer;
  std::wstring failure;
};

struct WebFacts {
  ServerHostSetting host;  // "ServidorBackup"
  std::wstring wsdl_location;
  core::Result<bool> connected = false;
  bool wsdl_loaded = false;
  std::wstring endpoint;
  CallFacts testa;
};

// Who besides administrators and the system may write a file or folder
// the service runs from.
struct AccessFacts {
  std::wstring path;
  core::Result<std::vector<std::wstring>> writers = std::vector<std::wstring>{};
};

struct StatusReportFacts {
  ServiceFacts service;
  ScheduleFacts schedule;
  FileFacts files;
  WebFacts web;
  std::vector<AccessFacts> access;
};

// Exit codes of "/STATUS": those of a monitoring check command.
inline constexpr int kStatusOk = 0;        // the service runs and both triggers can happen
inline constexpr int kStatusWarning = 1;   // one trigger off by configuration, or a folder others may write
inline constexpr int kStatusCritical = 2;  // nothing can run
inline constexpr int kStatusUnknown = 3;   // sound, but the central web service could not be checked

ServiceFacts GatherServiceFacts();
ScheduleFacts GatherScheduleFacts();
FileFacts GatherFileFacts();
// Points the module's proxy at the central server, as a start does, and
// asks TestaConexao only: BuscaSolic would take a pending request that the
// server hands out once, and the service would never run it.
WebFacts GatherWebFacts(TTavSrvBackup& module);
std::vector<AccessFacts> GatherAccessFacts();
StatusReportFacts GatherStatus(TTavSrvBackup& module);

// What the facts mean for the two triggers, each reason in plain words.
struct Verdicts {
  std::vector<std::wstring> nothing_runs;       // neither trigger can happen
  std::vector<std::wstring> service_unknown;    // the control manager could not tell
  std::vector<std::wstring> scheduled_off;      // by configuration
  std::vector<std::wstring> requested_off;      // by configuration
  std::vector<std::wstring> requested_unknown;  // the central web service could not be checked
  std::vector<std::wstring> warnings;
  int exit_code = kStatusOk;
};
Verdicts Judge(const StatusReportFacts& facts);
// The warnings of the access check alone, as an install reports them.
std::vector<std::wstring> AccessWarnings();
int StatusExitCode(const StatusReportFacts& facts);
// "OK", "WARNING", "CRITICAL" or "UNKNOWN".
std::wstring StatusName(int exit_code);

// The first enabled hour from `now` on (this hour included), today or tomorrow.
std::optional<base::TDateTime> NextScheduledLaunch(const std::array<bool, 24>& hours, base::TDateTime now);

}  // namespace backup
