#pragma once
// The platform a service process sees, all of it simulated: a control
// manager and its database, an event log, dialogs that are recorded, and
// an executable in a folder with a blank in its name.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/host.h"
#include "platform/sim/event_log.h"
#include "platform/sim/service_control.h"
#include "platform/sim/service_database.h"
#include "service/service.h"
#include "service/service_status.h"
#include "support/fakes.h"
#include "event_loop/message_queue.h"

namespace process_test {

inline const std::wstring kExecutable = L"C:\\Program Files\\TAV Backup\\SrvBackupVostrani.exe";
inline const std::wstring kExecutableName = L"SrvBackupVostrani.exe";

class RecordingDialogs : public platform::Dialogs {
 public:
  struct Shown {
    std::wstring caption, text;
    platform::DialogIcon icon;
  };
  void show_message(const std::wstring& caption, const std::wstring& text, platform::DialogIcon icon) override {
    std::lock_guard lock(mutex_);
    shown_.push_back({caption, text, icon});
  }
  std::vector<Shown> shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
  }
  // A desktop a person sees, unless a test takes it away.
  bool visible = true;
  bool visible_window_station() override { return visible; }
  void write_error(const std::wstring& caption, const std::wstring& text) override {
    std::lock_guard lock(mutex_);
    errors_.push_back(caption + L": " + text);
  }
  std::vector<std::wstring> errors() const {
    std::lock_guard lock(mutex_);
    return errors_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Shown> shown_;
  std::vector<std::wstring> errors_;
};

class ProcessWithCommandLine : public testing_support::FakeProcess {
 public:
  std::wstring line;
  std::wstring command_line() override { return line; }
};

// A module with no work of its own, reachable from its control entry point.
class PlainService : public service::TService {
 public:
  static inline PlainService* instance = nullptr;
  explicit PlainService(service::IServiceApplication* application) : TService(L"PlainSvc", application) {
    SetDisplayName(L"Plain Servi\u00E7o");
    instance = this;
  }
  ~PlainService() override { instance = nullptr; }
  platform::ServiceController GetServiceController() override { return &Controller; }
  static void Controller(uint32_t code) {
    if (instance) instance->PostControlRequest(code);
  }
};

class ServiceProcess : public ::testing::Test {
 protected:
  platform::SimulatedServiceControl scm;
  platform::SimulatedServiceDatabase database;
  platform::RecordedEventLog log;
  RecordingDialogs dialogs;
  ProcessWithCommandLine process;
  platform::ScopedOverride<platform::ServiceControl> use_scm{&platform::Host::service_control, &scm};
  platform::ScopedOverride<platform::ServiceDatabase> use_database{&platform::Host::service_database, &database};
  platform::ScopedOverride<platform::EventLog> use_log{&platform::Host::event_log, &log};
  platform::ScopedOverride<platform::Dialogs> use_dialogs{&platform::Host::dialogs, &dialogs};
  platform::ScopedOverride<platform::ProcessInfo> use_process{&platform::Host::process, &process};

  void SetUp() override {
    process.exe = kExecutable;
    process.line = L"\"" + kExecutable + L"\"";
    service::ProcessCheckPointMemory() = {};
  }

  // Each test is a process of its own, but they share this thread's queue:
  // the quit message a finished run leaves behind must not end the next.
  void TearDown() override {
    event_loop::TMessage left;
    while (event_loop::TryTakeMessage(left)) {
    }
  }
};

}  // namespace process_test
