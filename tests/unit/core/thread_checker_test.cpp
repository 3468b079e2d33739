#include <gtest/gtest.h>

#include <thread>

#include "core/thread_checker.h"

// The checker's whole worth is in the builds that keep assertions, the
// Windows one included: there the test must run, not vanish.
#if GTEST_HAS_DEATH_TEST && !defined(NDEBUG)
TEST(ThreadCheckerDeathTest, OnlyTheOwnerTouchesUntilReleased) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  core::ThreadChecker checker;
  std::thread([&] { checker.Check("anyone"); }).join();  // no owner yet
  checker.Claim();
  checker.Check("the owner");
  EXPECT_DEATH(std::thread([&] { checker.Check("the queue"); }).join(),
               "Threading contract broken: the queue touched off its owning thread");
  checker.Release();
  std::thread([&] { checker.Check("anyone after the release"); }).join();
}
#else
TEST(ThreadCheckerDeathTest, OnlyTheOwnerTouchesUntilReleased) {
  GTEST_SKIP() << "assertions or death tests are off in this build";
}
#endif
