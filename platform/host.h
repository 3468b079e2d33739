#pragma once
// The process-wide set of platform services. app/ installs the win32 set
// (or the posix set on the host); tests replace one member at a time with
// ScopedOverride, which restores the previous one.

namespace platform {

class RegistryKeys;
class Profile;
class Shell;
class Files;
class FileAccess;
class ProcessInfo;
class Threads;
class Clock;
class Locale;
class ServiceControl;
class ServiceDatabase;
class EventLog;
class Dialogs;
class Console;
class Connectivity;
class Http;
class XmlParser;
class SystemErrors;

struct Host {
  RegistryKeys* registry_keys = nullptr;
  Profile* profile = nullptr;
  Shell* shell = nullptr;
  Files* files = nullptr;
  FileAccess* file_access = nullptr;
  ProcessInfo* process = nullptr;
  Threads* threads = nullptr;
  Clock* clock = nullptr;
  Locale* locale = nullptr;
  ServiceControl* service_control = nullptr;
  ServiceDatabase* service_database = nullptr;
  EventLog* event_log = nullptr;
  Dialogs* dialogs = nullptr;
  Console* console = nullptr;
  Connectivity* connectivity = nullptr;
  Http* http = nullptr;
  XmlParser* xml_parser = nullptr;
  SystemErrors* system_errors = nullptr;
};

Host& host();

// Installs the backend of this build (win32 or posix) into host().
// Each area of the backend installs its own members.
void install_default_host();

template <class T>
class ScopedOverride {
 public:
  ScopedOverride(T* Host::*member, T* replacement)
      : member_(member), previous_(host().*member) {
    host().*member_ = replacement;
  }
  ~ScopedOverride() { host().*member_ = previous_; }
  ScopedOverride(const ScopedOverride&) = delete;
  ScopedOverride& operator=(const ScopedOverride&) = delete;

 private:
  T* Host::*member_;
  T* previous_;
};

}  // namespace platform
