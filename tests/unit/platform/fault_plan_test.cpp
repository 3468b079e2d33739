#include <gtest/gtest.h>

#include "platform/sim/fault_plan.h"

using platform::FaultPlan;

TEST(FaultPlan, FailsTheNthCallOnceOrFromThenOnPerOperation) {
  FaultPlan plan;
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
