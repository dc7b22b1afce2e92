#include "platform/sync/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST(ManualResetEvent, StaysSetAndReleasesEveryWaiterUntilReset) {
  Event event(EventReset::kManual);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  waiters.reserve(3);
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      if (event.Wait(kInfinite) == WaitResult::kSignalled) ++released;
    });
  }
  event.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released, 3);
  EXPECT_EQ(event.Wait(0), WaitResult::kSignalled);
  event.Reset();
  EXPECT_EQ(event.Wait(0), WaitResult::kTimedOut);
}

TEST(AutoResetEvent, ReleasesOneWaiterPerSet) {
  Event event(EventReset::kAuto, true);
  EXPECT_EQ(event.Wait(0), WaitResult::kSignalled);
  EXPECT_EQ(event.Wait(0), WaitResult::kTimedOut);

  std::atomic<int> released{0};
  auto waiter = [&] {
    if (event.Wait(2000) == WaitResult::kSignalled) ++released;
  };
  std::thread first(waiter);
  std::thread second(waiter);
  event.Set();
  while (released < 1) std::this_thread::yield();
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(released, 1);  // the other one still waits
  event.Set();
  first.join();
  second.join();
  EXPECT_EQ(released, 2);
}

TEST(EventTimeout, TimesOutNoEarlierThanAsked) {
  Event event(EventReset::kManual);
  const auto start = steady_clock::now();
  EXPECT_EQ(event.Wait(30), WaitResult::kTimedOut);
  EXPECT_GE(steady_clock::now() - start, milliseconds(30));
}

}  // namespace
}  // namespace platform
