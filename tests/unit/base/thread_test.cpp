#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "base/thread.h"
#include "platform/host.h"
#include "platform/threads.h"

using namespace base;

namespace {

class Probe : public TThread {
 public:
  explicit Probe(bool suspended) : TThread(suspended) {}
  ~Probe() override { TerminateAndWait(); }
  std::atomic<int> runs{0};
  bool raise = false;

 protected:
  void Execute() override {
    ++runs;
    if (raise) throw std::runtime_error("body failed");
  }
};

}  // namespace

TEST(TThread, CreatedSuspendedRunsOnlyAfterStart) {
  Probe t(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(t.runs, 0);
  EXPECT_TRUE(t.Suspended());
  t.Start();
  t.WaitFor();
  EXPECT_EQ(t.runs, 1);
  EXPECT_TRUE(t.Finished());
  EXPECT_FALSE(t.Suspended());
}

TEST(TThread, TerminatedBeforeItRanSkipsTheBody) {
  Probe t(true);
  t.Terminate();
  t.Resume();
  t.WaitFor();
  EXPECT_EQ(t.runs, 0);
  EXPECT_TRUE(t.Finished());
}

TEST(TThread, NeverStartedThreadCanBeFreed) {
  auto t = std::make_unique<Probe>(true);
  t.reset();  // must not hang
  SUCCEED();
}

TEST(TThread, SuspendedFlagFollowsTheSuspensionCount) {
  Probe t(true);
  t.Suspend();  // count 2
  t.Resume();   // count 1: still suspended
  EXPECT_TRUE(t.Suspended());
  EXPECT_EQ(t.runs, 0);
  t.Resume();   // count 0
  EXPECT_FALSE(t.Suspended());
  t.WaitFor();
  EXPECT_EQ(t.runs, 1);
}

TEST(TThread, EscapedExceptionIsKeptNotPropagated) {
  Probe t(true);
  t.raise = true;
  t.Start();
  t.WaitFor();
  EXPECT_TRUE(t.FatalException() != nullptr);
}

TEST(TThread, CreateRunningStartsAtOnce) {
  auto t = TThread::Create<Probe>(false);
  t->WaitFor();
  EXPECT_EQ(t->runs, 1);
}

TEST(ThreadExit, CleanupRunsWhenTheThreadEnds) {
  static std::atomic<int> cleaned{0};
  std::thread worker([] {
    static int two = 2;
    platform::host().threads->at_current_thread_exit([](void* v) { cleaned += *static_cast<int*>(v); }, &two);
    EXPECT_EQ(cleaned, 0);
  });
  worker.join();
  EXPECT_EQ(cleaned, 2);
}
