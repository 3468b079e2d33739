#include <gtest/gtest.h>

#include "platform/host.h"
#include "platform/sim/event_log.h"
#include "service/event_logger.h"

TEST(TEventLogger, RegistersOnFirstUseRetriesAfterAFailureAndDeregistersWhenFreed) {
  platform::RecordedEventLog log;
  platform::ScopedOverride<platform::EventLog> o(&platform::Host::event_log, &log);
  {
    service::TEventLogger logger(L"SrvBackupVostrani.exe");
    EXPECT_EQ(log.open_sources(), 0u);
    log.faults.FailNext("register_source", 5);
    logger.LogMessage(L"lost");
    logger.LogMessage(L"first");
    logger.LogMessage(L"second", 2, 3, 4);
    EXPECT_EQ(log.open_sources(), 1u);
  }
  EXPECT_EQ(log.open_sources(), 0u);
  const std::vector<platform::EventLogEntry> expected = {{L"SrvBackupVostrani.exe", 1, 0, 0, L"first"},
                                                         {L"SrvBackupVostrani.exe", 2, 3, 4, L"second"}};
  EXPECT_EQ(log.entries(), expected);
}
