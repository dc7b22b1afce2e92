#include "platform/threads/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>

#include "platform/sync/event.h"

namespace platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// A read loop as the programs write it: timed waits, so a stop request is seen promptly.
void PollingLoop(const StopFlag& stop) {
  while (!stop.WaitFor(10'000)) {
  }
}

TEST(ThreadStop, ARequestCutsTheBodysTimedWaitShort) {
  Thread thread(PollingLoop);
  EXPECT_TRUE(thread.Running());
  const auto start = steady_clock::now();
  EXPECT_TRUE(thread.Stop(5000));
  EXPECT_LT(steady_clock::now() - start, milliseconds(1000));
  EXPECT_FALSE(thread.Running());
}

TEST(ThreadStop, DestructionAsksTheThreadToStopAndWaitsForIt) {
  auto sawStop = std::make_shared<std::atomic<bool>>(false);
  {
    Thread thread([sawStop](const StopFlag& stop) {
      PollingLoop(stop);
      *sawStop = stop.StopRequested();
    });
  }
  EXPECT_TRUE(*sawStop);
}

TEST(ThreadWait, ReturnsAtOnceForAThreadThatEndedByItself) {
  Event ran(EventReset::kManual);
  Thread thread([&ran](const StopFlag&) { ran.Set(); });
  EXPECT_TRUE(thread.Wait(kInfinite));
  EXPECT_FALSE(thread.Running());
  EXPECT_TRUE(thread.Wait(0));
  EXPECT_EQ(ran.Wait(0), WaitResult::kSignalled);
}

TEST(ThreadWait, TimesOutOnAThreadThatIsStillBusy) {
  Thread thread(PollingLoop);
  const auto start = steady_clock::now();
  EXPECT_FALSE(thread.Wait(20));
  EXPECT_GE(steady_clock::now() - start, milliseconds(20));
  EXPECT_TRUE(thread.Running());
}

// The thread ignores stop requests until the test lets it go, long after its Thread object died.
TEST(ThreadAbandon, AStubbornThreadRunsOnSafelyAfterItsOwnerIsGone) {
  auto release = std::make_shared<Event>(EventReset::kManual);
  auto finished = std::make_shared<Event>(EventReset::kManual);
  auto stopSeenAtEnd = std::make_shared<std::atomic<bool>>(false);
  {
    Thread thread([release, finished, stopSeenAtEnd](const StopFlag& stop) {
      release->Wait(kInfinite);
      *stopSeenAtEnd = stop.StopRequested();  // the flag outlives the Thread object
      finished->Set();
    });
    EXPECT_FALSE(thread.Stop(20));
    EXPECT_TRUE(thread.Running());
  }
  release->Set();
  ASSERT_EQ(finished->Wait(5000), WaitResult::kSignalled);
  EXPECT_TRUE(*stopSeenAtEnd);
}

}  // namespace
}  // namespace platform
