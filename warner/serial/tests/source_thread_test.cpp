#include "warner/serial/source_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/reports/scripted_reporter.h"

namespace serial {
namespace {

using Clock = std::chrono::steady_clock;

int ElapsedMs(Clock::time_point since) {
  return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// A body as the read threads behave: running until asked to stop.
SourceThread::Body Obedient() {
  return [](const platform::StopFlag& stop, ThreadStatus& status) {
    status.exitCode = 0;
    status.ended = 0;
    while (!stop.WaitFor(5)) {
    }
    status.ended = 1;
  };
}

TEST(SourceThread, NothingToStopBeforeAStart) {
  platform::ScriptedReporter reporter;
  SourceThread thread("GPSSerialReadThread");
  EXPECT_EQ(thread.Ended(), -1);
  EXPECT_EQ(thread.ExitCode(), -1);
  EXPECT_EQ(thread.Stop(reporter, {}), -1);
  EXPECT_TRUE(reporter.Records().empty());
}

TEST(SourceThread, AnObedientThreadStopsWithinOneStep) {
  platform::ScriptedReporter reporter;
  SourceThread thread("GPSSerialReadThread");
  ASSERT_TRUE(thread.Start(Obedient()));
  while (thread.Ended() != 0) std::this_thread::yield();
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(thread.Stop(reporter, {}), -1);
  EXPECT_LT(ElapsedMs(start), 400) << "a stop request cuts the thread's waits short";
  EXPECT_EQ(thread.Ended(), -1);
  EXPECT_EQ(thread.ExitCode(), 0);
  EXPECT_TRUE(reporter.Records().empty());
}

TEST(SourceThread, AThreadThatEndedByItselfIsLeftAlone) {
  platform::ScriptedReporter reporter;
  SourceThread thread("TMCSerialReadThread");
  ASSERT_TRUE(thread.Start([](const platform::StopFlag&, ThreadStatus& status) {
    status.exitCode = 55;
    status.ended = 1;
  }));
  while (thread.Ended() != 1) std::this_thread::yield();
  EXPECT_EQ(thread.Stop(reporter, {}), 1);
  EXPECT_EQ(thread.ExitCode(), 55);
  EXPECT_TRUE(reporter.Records().empty());
}

TEST(SourceThread, AThreadStoppedBeforeItMarkedItselfRunningIsStoppedAllTheSame) {
  platform::ScriptedReporter reporter;
  auto finished = std::make_shared<std::atomic<bool>>(false);
  SourceThread thread("GPSSerialReadThread");
  ASSERT_TRUE(thread.Start([=](const platform::StopFlag& stop, ThreadStatus&) {
    stop.WaitFor(10000);  // still getting ready
    finished->store(true);
  }));
  EXPECT_EQ(thread.Stop(reporter, {}), -1);
  EXPECT_TRUE(finished->load()) << "the caller goes on to close what the thread uses";
}

TEST(SourceThread, AThreadThatIgnoresTheStopIsReportedAndGivenUp) {
  platform::ScriptedReporter reporter;
  // What the stubborn body uses lives as long as the body, not as long as the test's frame.
  auto release = std::make_shared<std::atomic<bool>>(false);
  auto finished = std::make_shared<std::atomic<bool>>(false);
  auto sawGivenUp = std::make_shared<std::atomic<bool>>(false);
  {
    SourceThread thread("GPSSerialReadThread");
    ASSERT_TRUE(thread.Start([=](const platform::StopFlag&, ThreadStatus& status) {
      status.exitCode = 0;
      status.ended = 0;
      while (!release->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      sawGivenUp->store(status.exitCode.load() == -2);
      status.ended = 1;
      finished->store(true);
    }));
    while (thread.Ended() != 0) std::this_thread::yield();
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(thread.Stop(reporter, {20, 100}), -1);
    const int took = ElapsedMs(start);
    // Six waits of 20 ms pass the limit of 100 ms.
    EXPECT_GE(took, 100);
    EXPECT_LT(took, 2000);
    EXPECT_EQ(thread.ExitCode(), -2);
    EXPECT_EQ(thread.Ended(), -1);
    EXPECT_FALSE(finished->load());
  }  // the descriptor is gone; the thread runs on
  ASSERT_EQ(reporter.Records().size(), 1u);
  EXPECT_EQ(reporter.Records()[0].text, "The GPSSerialReadThread thread can't be stopped.\nThe thread is killed now.");
  EXPECT_EQ(reporter.Records()[0].severity, platform::Severity::kError);

  release->store(true);
  while (!finished->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(sawGivenUp->load()) << "the given-up thread learns it from its exit code";
}

TEST(SourceThread, AFreshStartAfterAGivenUpThreadHasItsOwnStatus) {
  platform::ScriptedReporter reporter;
  auto release = std::make_shared<std::atomic<bool>>(false);
  auto finished = std::make_shared<std::atomic<bool>>(false);
  SourceThread thread("GPSSerialReadThread");
  ASSERT_TRUE(thread.Start([=](const platform::StopFlag&, ThreadStatus& status) {
    status.ended = 0;
    while (!release->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    status.exitCode = 123;
    status.ended = 1;
    finished->store(true);
  }));
  while (thread.Ended() != 0) std::this_thread::yield();
  thread.Stop(reporter, {10, 20});

  thread.Reset();
  ASSERT_TRUE(thread.Start(Obedient()));
  while (thread.Ended() != 0) std::this_thread::yield();
  release->store(true);
  while (!finished->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  // The old thread's way out did not touch the new one's status.
  EXPECT_EQ(thread.Ended(), 0);
  EXPECT_EQ(thread.Stop(reporter, {}), -1);
  EXPECT_EQ(thread.ExitCode(), 0);
}

}  // namespace
}  // namespace serial
