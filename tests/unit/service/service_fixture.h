#pragma once
// A small test service run by the simulated control manager, with the
// event log and the error texts of the run recorded.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/host.h"
#include "support/journal.h"
#include "support/wait_until.h"
#include "platform/sim/event_log.h"
#include "platform/sim/service_control.h"
#include "platform/system_errors.h"
#include "service/service.h"
#include "service/service_thread.h"
#include "service/service_status.h"

namespace service_test {

using namespace std::chrono_literals;
using service::TCurrentStatus;

inline constexpr uint32_t kStopped = 1, kStartPending = 2, kStopPending = 3, kRunning = 4, kContinuePending = 5,
                          kPausePending = 6, kPaused = 7;

using testing_support::Journal;

class TestService : public service::TService {
 public:
  static inline TestService* instance = nullptr;
  TestService() : TService(L"TestSvc") { instance = this; }
  ~TestService() override { instance = nullptr; }
  platform::ServiceController GetServiceController() override { return &Controller; }
  static void Controller(uint32_t code) { instance->PostControlRequest(code); }

  Journal journal;
  std::function<void(uint32_t)> custom_failure;
  std::function<void()> on_interrogate = [] {};

 protected:
  void HandleInterrogate() override {
    journal.Add("interrogate");
    on_interrogate();
    TService::HandleInterrogate();
  }
  bool HandleCustomControl(uint32_t code) override {
    journal.Add("custom");
    if (custom_failure) custom_failure(code);
    return TService::HandleCustomControl(code);
  }
};

// The platform's error texts unless a test gives its own.
class SimulatedErrors : public platform::SystemErrors {
 public:
  explicit SimulatedErrors(platform::SystemErrors* real) : real_(real) {}
  std::wstring text(uint32_t code) override {
    auto it = texts.find(code);
    return it != texts.end() ? it->second : real_->text(code);
  }
  std::map<uint32_t, std::wstring> texts;

 private:
  platform::SystemErrors* real_;
};

class ServiceHost : public ::testing::Test {
 protected:
  platform::SimulatedServiceControl scm;
  platform::RecordedEventLog log;
  SimulatedErrors errors{platform::host().system_errors};
  platform::ScopedOverride<platform::ServiceControl> scm_override{&platform::Host::service_control, &scm};
  platform::ScopedOverride<platform::EventLog> log_override{&platform::Host::event_log, &log};
  platform::ScopedOverride<platform::SystemErrors> errors_override{&platform::Host::system_errors, &errors};
  TestService svc;
  std::thread dispatcher;
  std::atomic<bool> dispatcher_done{false};
  uint32_t dispatcher_result = 0;

  // Each test is a fresh process as far as the report memory goes.
  // The control manager returns at the stopped report, as the real one may:
  // anything a service does after that report meets a destroyed service.
  void SetUp() override {
    service::ProcessCheckPointMemory() = {};
    scm.return_at_stopped_report = true;
  }

  void TearDown() override {
    if (dispatcher.joinable()) {
      if (!dispatcher_done) scm.send_control(L"TestSvc", platform::kControlStop);
      dispatcher.join();
    }
  }

  void Start(const std::wstring& name = L"TestSvc", std::vector<std::wstring> args = {}) {
    scm.start_service(name, std::move(args));
    dispatcher = std::thread([this] {
      dispatcher_result =
          scm.run_dispatcher({L"TestSvc"}, [this](const std::vector<std::wstring>& a) { service::ServiceEntry({&svc}, a); })
              .code();
      dispatcher_done = true;
    });
  }

  // Waits for the dispatcher to return, as it does once the service stopped.
  bool Finished(std::chrono::milliseconds limit = 10s) {
    return testing_support::WaitUntil([this] { return dispatcher_done.load(); }, limit);
  }

  void Send(uint32_t code) { ASSERT_EQ(scm.send_control(L"TestSvc", code), 0u) << code; }

  std::vector<uint32_t> States() const {
    std::vector<uint32_t> states;
    for (const auto& r : scm.reports(L"TestSvc")) states.push_back(r.current_state);
    return states;
  }

  // Waits until `count` reports have been made.
  bool Reported(size_t count, std::chrono::milliseconds limit = 10s) const {
    return testing_support::WaitUntil([&] { return scm.reports(L"TestSvc").size() >= count; }, limit);
  }

  std::vector<std::wstring> LogTexts() const {
    std::vector<std::wstring> texts;
    for (const auto& e : log.entries()) texts.push_back(e.text);
    return texts;
  }
};

}  // namespace service_test
