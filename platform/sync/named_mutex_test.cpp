#include "platform/sync/named_mutex.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/errors/errors.h"

namespace platform {
namespace {

// Tries the mutex from another thread, as a second owner would.
WaitResult WaitOnOtherThread(NamedMutex handle, uint32_t timeoutMs) {
  WaitResult result = WaitResult::kTimedOut;
  std::thread([&] {
    result = handle.Wait(timeoutMs);
    if (result == WaitResult::kSignalled) handle.Release();
  }).join();
  return result;
}

TEST(NamedMutexNames, SameNameInAnyCaseIsTheSameMutex) {
  NamedMutex first = NamedMutex::Create("Global\\WarnerLock");
  EXPECT_EQ(GetLastError(), kErrorSuccess);
  NamedMutex second = NamedMutex::Create("GLOBAL\\warnerlock");
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);

  ASSERT_EQ(first.Wait(0), WaitResult::kSignalled);
  EXPECT_EQ(WaitOnOtherThread(second, 10), WaitResult::kTimedOut);
  EXPECT_TRUE(first.Release());
  EXPECT_EQ(WaitOnOtherThread(second, 0), WaitResult::kSignalled);
}

TEST(NamedMutexNames, NameIsForgottenWhenTheLastHandleCloses) {
  {
    NamedMutex handle = NamedMutex::Create("Transient");
    {
      NamedMutex copy = handle;  // NOLINT(performance-unnecessary-copy-initialization)
    }
    EXPECT_TRUE(NamedMutex::Open("transient").has_value());
  }
  EXPECT_FALSE(NamedMutex::Open("Transient").has_value());
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  NamedMutex again = NamedMutex::Create("Transient");
  EXPECT_EQ(GetLastError(), kErrorSuccess);
}

TEST(NamedMutexNames, UnnamedMutexesAreDistinct) {
  NamedMutex a = NamedMutex::Create("");
  NamedMutex b = NamedMutex::Create("");
  EXPECT_EQ(GetLastError(), kErrorSuccess);
  ASSERT_EQ(a.Wait(0), WaitResult::kSignalled);
  EXPECT_EQ(WaitOnOtherThread(b, 0), WaitResult::kSignalled);
  EXPECT_TRUE(a.Release());
}

TEST(NamedMutexOwnership, OwnerMayWaitAgainAndMustReleaseAsOften) {
  NamedMutex mutex = NamedMutex::Create("Recursive");
  ASSERT_EQ(mutex.Wait(0), WaitResult::kSignalled);
  ASSERT_EQ(mutex.Wait(0), WaitResult::kSignalled);
  EXPECT_TRUE(mutex.Release());
  EXPECT_EQ(WaitOnOtherThread(mutex, 10), WaitResult::kTimedOut);
  EXPECT_TRUE(mutex.Release());
  EXPECT_EQ(WaitOnOtherThread(mutex, 0), WaitResult::kSignalled);
}

TEST(NamedMutexOwnership, ReleaseByANonOwnerFails) {
  NamedMutex mutex = NamedMutex::Create("NotMine");
  EXPECT_FALSE(mutex.Release());
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);

  ASSERT_EQ(mutex.Wait(0), WaitResult::kSignalled);
  bool releasedElsewhere = true;
  std::thread([&] { releasedElsewhere = mutex.Release(); }).join();
  EXPECT_FALSE(releasedElsewhere);
  EXPECT_TRUE(mutex.Release());
}

TEST(NamedMutexOwnership, InitialOwnerOnlyWhenCreated) {
  NamedMutex created = NamedMutex::Create("Initial", true);
  EXPECT_EQ(WaitOnOtherThread(created, 0), WaitResult::kTimedOut);
  NamedMutex opened = NamedMutex::Create("Initial", true);  // already exists: no second ownership
  EXPECT_TRUE(opened.Release());
  EXPECT_FALSE(opened.Release());
}

TEST(NamedMutexOwnership, WaiterGetsTheMutexWhenTheOwnerReleases) {
  NamedMutex mutex = NamedMutex::Create("Handover", true);
  std::thread waiter([copy = mutex]() mutable {
    EXPECT_EQ(copy.Wait(kInfinite), WaitResult::kSignalled);
    EXPECT_TRUE(copy.Release());
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(mutex.Release());
  waiter.join();
}

TEST(NamedMutexConcurrency, HandlesOpenedAndClosedOnManyThreadsGuardOneCounter) {
  int counter = 0;
  std::vector<std::thread> threads;
  threads.reserve(4);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&counter] {
      for (int i = 0; i < 200; ++i) {
        NamedMutex handle = NamedMutex::Create("Counter");
        ASSERT_EQ(handle.Wait(kInfinite), WaitResult::kSignalled);
        ++counter;
        handle.Release();
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 800);
  EXPECT_FALSE(NamedMutex::Open("Counter").has_value());
}

}  // namespace
}  // namespace platform
