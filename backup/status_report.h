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
  std::wstring host_setting;  // "ServidorBackup"; empty when not set
  std::wstring wsdl_location;
  core::Result<bool> connected = false;
  bool wsdl_loaded = false;
  std::wstring endpoint;
  CallFacts testa, busca;
  bool would_launch = false;
};

struct StatusFacts {
  ServiceFacts service;
  ScheduleFacts schedule;
  FileFacts files;
  WebFacts web;
};

// Exit codes of "/STATUS", for monitoring tools.
inline constexpr int kStatusRunsCanHappen = 0;
inline constexpr int kStatusConfigurationStopsRuns = 2;
inline constexpr int kStatusLiveCheckFailed = 3;

ServiceFacts GatherServiceFacts();
ScheduleFacts GatherScheduleFacts();
FileFacts GatherFileFacts();
// Points the module's proxy at the central server, as a start does, and
// makes the poll's two calls through it; nothing is launched.
WebFacts GatherWebFacts(TTavSrvBackup& module, const std::wstring& company);
StatusFacts GatherStatus(TTavSrvBackup& module);

// Why runs cannot happen (installation, configuration, files), in plain
// words; empty when nothing stops them.
std::vector<std::wstring> WhyConfigurationStopsRuns(const StatusFacts& facts);
bool LiveCheckFailed(const WebFacts& web);
int StatusExitCode(const StatusFacts& facts);

// The first enabled hour from `now` on (this hour included), today or tomorrow.
std::optional<base::TDateTime> NextScheduledLaunch(const std::array<bool, 24>& hours, base::TDateTime now);

}  // namespace backup
