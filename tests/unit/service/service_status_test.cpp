#include <gtest/gtest.h>

#include "service/service_status.h"

using namespace service;
using S = TCurrentStatus;

TEST(StatusReport, CheckpointCountsOnlyRepeatedPendingStatuses) {
  CheckPointMemory memory;  // a fresh process: start-pending, checkpoint 0
  // The control manager's codes: 1 stopped, 2 start pending, 3 stop pending,
  // 4 running, 5 continue pending, 6 pause pending, 7 paused.
  struct Step {
    S status;
    uint32_t state, check_point;
  };
  const Step sequence[] = {
      {S::csStartPending, 2, 1}, {S::csStartPending, 2, 2},    {S::csRunning, 4, 0},
      {S::csRunning, 4, 0},      {S::csPausePending, 6, 0},    {S::csPausePending, 6, 1},
      {S::csPaused, 7, 0},       {S::csContinuePending, 5, 0}, {S::csContinuePending, 5, 1},
      {S::csRunning, 4, 0},      {S::csStopPending, 3, 0},     {S::csStopPending, 3, 1},
      {S::csStopPending, 3, 2},  {S::csStopped, 1, 0},
  };
  for (const Step& step : sequence) {
    const auto r = BuildServiceStatus({step.status, 0x10, 7, 0, 0, 5000}, memory);
    EXPECT_EQ(r.current_state, step.state) << &step - sequence;
    EXPECT_EQ(r.check_point, step.check_point) << &step - sequence;
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
