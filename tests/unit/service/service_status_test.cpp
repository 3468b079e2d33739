#include <gtest/gtest.h>

#include "service/service_status.h"

using namespace service;
using S = TCurrentStatus;

TEST(StatusReport, CheckpointCountsOnlyRepeatedPendingStatuses) {
  CheckPointMemory memory;  // a fresh process: start-pending, checkpoint 0
  const std::pair<S, uint32_t> sequence[] = {
      {S::csStartPending, 1}, {S::csStartPending, 2}, {S::csRunning, 0},     {S::csRunning, 0},
      {S::csPausePending, 0}, {S::csPausePending, 1}, {S::csPaused, 0},      {S::csStopPending, 0},
      {S::csStopPending, 1},  {S::csStopPending, 2},  {S::csStopped, 0},
  };
  for (const auto& [status, check_point] : sequence) {
    const auto r = BuildServiceStatus({status, 0x10, 7, 0, 0, 5000}, memory);
    EXPECT_EQ(r.check_point, check_point) << static_cast<int>(status);
    EXPECT_EQ(r.current_state, StateCode(status));
  }
}

TEST(StatusReport, ControlsAndExitCodes) {
  struct Case {
    S status;
    uint32_t err, win32, accepted, exit_code;
  };
  const Case cases[] = {
      {S::csStartPending, 0, 0, 0, 0},
      {S::csRunning, 0, 0, 7, 0},
      {S::csStopped, 0, 1053, 7, 1053},
      {S::csStopped, 42, 1053, 7, 1066},  // a service-specific code wins
  };
  for (const Case& c : cases) {
    CheckPointMemory memory;
    const auto r = BuildServiceStatus({c.status, 0x10, 7, c.err, c.win32, 5000}, memory);
    EXPECT_EQ(r.controls_accepted, c.accepted);
    EXPECT_EQ(r.win32_exit_code, c.exit_code);
    EXPECT_EQ(r.service_specific_exit_code, c.err);
    EXPECT_EQ(r.wait_hint, 5000u);
  }
}
