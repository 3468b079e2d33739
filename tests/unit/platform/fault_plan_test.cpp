#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "platform/sim/fault_plan.h"
#include "platform/sim/registry_keys.h"
#include "platform/sim/event_log.h"
#include "platform/sim/connectivity.h"
#include "platform/sim/file_access.h"
#include "platform/sim/service_control.h"
#include "platform/sim/service_database.h"
#include "support/fakes.h"

using platform::FaultPlan;

namespace {

using Call = std::function<core::Status()>;

// Plans a failure of each operation in turn: its next call fails with that
// code, once. The table must walk exactly what the stand-in declared, so a
// declared name no call reaches, or a call nobody declared, shows here.
void WalkDeclared(FaultPlan& faults, const std::map<std::string, Call>& calls) {
  std::set<std::string> walked;
  for (const auto& entry : calls) walked.insert(entry.first);
  EXPECT_EQ(walked, faults.operations());
  uint32_t code = 7100;
  for (const auto& [operation, call] : calls) {
    SCOPED_TRACE(operation);
    faults.FailNext(operation, ++code);
    EXPECT_EQ(call().code(), code);
    EXPECT_NE(call().code(), code) << "planned once, failed again";
  }
}

}  // namespace

TEST(FaultPlan, FailsTheNthCallOnceOrFromThenOnPerOperation) {
  FaultPlan plan{"write", "open", "other"};
  plan.Fail("write", 2, 5);
  plan.Fail("open", 3, 2, FaultPlan::Repeat::FromThenOn);
  std::vector<uint32_t> writes, opens;
  for (int i = 0; i < 4; ++i) {
    writes.push_back(plan.Next("write").code());
    opens.push_back(plan.Next("open").code());
  }
  EXPECT_EQ(writes, (std::vector<uint32_t>{0, 5, 0, 0}));
  EXPECT_EQ(opens, (std::vector<uint32_t>{0, 0, 2, 2}));
  plan.FailNext("write", 32);
  EXPECT_EQ(plan.Next("write").code(), 32u);
  EXPECT_TRUE(plan.Next("write").ok());
  EXPECT_TRUE(plan.Next("other").ok());
}

TEST(FaultPlan, RefusesAnOperationNobodyDeclared) {
  FaultPlan plan{"open_key", "write_value"};
  try {
    plan.FailNext("open_keys", 5);
    FAIL() << "a misspelt operation was planned";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "no operation \"open_keys\" can fail here; declared: open_key, write_value");
  }
  EXPECT_THROW(plan.Fail("Write_value", 1, 5), std::invalid_argument);
  EXPECT_TRUE(plan.Next("open_key").ok()) << "a refused plan must leave nothing planned";
#if GTEST_HAS_DEATH_TEST
  EXPECT_DEATH((void)plan.Next("query_value"), "asked about \"query_value\", which it never declared");
#endif
}

TEST(FaultPlanOfStandIns, MemoryRegistryKeys) {
  platform::MemoryRegistryKeys registry;
  registry.set(L"Software\\Test", L"v", platform::reg_dword(1));
  int fresh = 0;
  auto open = [&](bool create) {
    return registry.open_local_machine(create ? L"Software\\New" + std::to_wstring(++fresh) : L"Software\\Test",
                                       platform::kKeyAllAccess, create);
  };
  WalkDeclared(registry.faults, {
      {"open_key", [&] { return open(false).status(); }},
      {"create_key", [&] { return open(true).status(); }},
      {"query_value", [&] { return open(false).value()->query(L"v").status(); }},
      {"write_value", [&] { return open(false).value()->write(L"v", platform::reg_dword(2)); }},
  });
}

TEST(FaultPlanOfStandIns, RecordedEventLog) {
  platform::RecordedEventLog log;
  const platform::EventSourceHandle source = log.register_source(L"Test").value();
  WalkDeclared(log.faults, {
      {"register_source", [&] { return log.register_source(L"Other").status(); }},
      {"report", [&] { return log.report(source, 4, 0, 1, L"text"); }},
  });
}

TEST(FaultPlanOfStandIns, SimulatedConnectivity) {
  platform::SimulatedConnectivity network;
  WalkDeclared(network.faults, {{"connected", [&] { return network.connected().status(); }}});
}

TEST(FaultPlanOfStandIns, SimulatedFileAccess) {
  platform::SimulatedFileAccess access;
  WalkDeclared(access.faults, {{"untrusted_writers", [&] { return access.untrusted_writers(L"C:\\x").status(); }}});
}

TEST(FaultPlanOfStandIns, SimulatedServiceControl) {
  platform::SimulatedServiceControl scm;
  WalkDeclared(scm.faults, {
      {"register_control_handler", [&] { return scm.register_control_handler(L"Svc", nullptr).status(); }},
      {"set_status", [&] { return scm.set_status(1, {}); }},
  });
}

TEST(FaultPlanOfStandIns, SimulatedServiceDatabase) {
  platform::SimulatedServiceDatabase database;
  const platform::ScHandle manager = database.open_manager(platform::kScManagerAllAccess).value();
  int fresh = 0;
  auto create = [&] {
    platform::ServiceRegistration r;
    r.name = L"Service" + std::to_wstring(++fresh);
    return database.create_service(manager, r);
  };
  const platform::ScHandle service = create().value();
  WalkDeclared(database.faults, {
      {"open_manager", [&] { return database.open_manager(platform::kScManagerAllAccess).status(); }},
      {"create_service", [&] { return create().status(); }},
      {"open_service", [&] { return database.open_service(manager, L"Service1", platform::kServiceAllAccess).status(); }},
      {"delete_service", [&] { return database.delete_service(create().value()); }},
      {"set_description", [&] { return database.set_description(service, L"text"); }},
      {"set_failure_actions", [&] { return database.set_failure_actions(service, {}); }},
      {"query_failure_actions", [&] { return database.query_failure_actions(service).status(); }},
      {"query_service", [&] { return database.query_service(service).status(); }},
      {"register_event_source", [&] { return database.register_event_source(L"Src", L"C:\\x.exe"); }},
      {"remove_event_source", [&] { return database.remove_event_source(L"Src"); }},
  });
}

TEST(FaultPlanOfStandIns, RecordingShell) {
  testing_support::RecordingShell shell;
  WalkDeclared(shell.faults, {{"start_hidden", [&] { return shell.start_hidden(L"a.exe", L"", L"C:\\"); }}});
}
