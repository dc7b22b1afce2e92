#include "warner/core/worker/gps_worker.h"

#include <gtest/gtest.h>

#include <thread>

#include "warner/core/worker/tests/worker_test_util.h"

namespace warner::test {
namespace {

using Status = WorkerObserver::Status;
using Played = std::vector<std::string>;

// A GGA takes more than one read of the 64-byte buffer.
const int kGgaReads = static_cast<int>((kGoodGga.size() + 63) / 64);

TEST(WorkerSatSounds, ThresholdTwoNeedsTwoBadSentencesOfOneType) {
  WorkerRig rig(2);
  ScriptedSource source;
  source.Bytes(kGoodGga + kBadGga + kGoodRmc + kBadGga + kBadGga + kGoodGga);
  EXPECT_EQ(rig.Run(source), platform::kErrorHandleEof);
  // The good RMC between the two bad GGA clears the count, so only the pair after it is lost.
  EXPECT_EQ(rig.sounds.played, (Played{"fix", "lost", "fix", "lost"}));
  EXPECT_EQ(rig.sounds.resets, 1);
  EXPECT_EQ(rig.sounds.regainedCalls.front(), 0x100);
  EXPECT_EQ(rig.observer.statuses, (std::vector{Status::kSearching, Status::kFix, Status::kNoFix, Status::kFix,
                                                Status::kNoFix, Status::kFix, Status::kInactive}));
}

TEST(WorkerSatSounds, ThresholdThreeCountsEachTypeApart) {
  WorkerRig rig(3);
  ScriptedSource source;
  source.Bytes(kGoodGga + kBadGga + kBadGga + kBadRmc);
  source.Bytes(kBadGga);
  EXPECT_EQ(rig.Run(source), platform::kErrorHandleEof);
  EXPECT_EQ(rig.sounds.played, (Played{"fix", "lost"}));
  EXPECT_EQ(rig.sounds.lostCalls, (std::vector<int32_t>{0x100, 0x100, 0x200, 0x100, -1}));
}

TEST(WorkerSatSounds, ThresholdZeroOnlyTheForcedLostSounds) {
  WorkerRig rig(0);
  ScriptedSource source;
  source.Bytes(kGoodGga + kBadGga + kBadGga + kBadGga + kGoodGga + kJunk + kJunk + kJunk);
  source.Then(platform::kErrorNotReady);
  source.beforeRead = [&](int read) {
    if (read > 40) rig.stop = true;
  };
  EXPECT_EQ(rig.Run(source), 0u);
  // Bad sentences and framing errors stay silent; the not-ready source forces the sound.
  EXPECT_EQ(rig.sounds.played, (Played{"lost"}));
  ASSERT_GE(rig.sounds.lostCalls.size(), 5u);
  EXPECT_EQ(rig.sounds.lostCalls[2], 0x100);
  EXPECT_EQ(rig.sounds.lostCalls[3], 0x300) << "the framing errors must not have forced anything";
  EXPECT_EQ(rig.sounds.lostCalls[4], -1);
}

TEST(WorkerSatSounds, FramingErrorsForceLostOnceBadCountReachesThreshold) {
  WorkerRig rig(2);
  ScriptedSource first;
  first.Bytes(kGoodGga + kJunk);
  EXPECT_EQ(rig.Run(first), platform::kErrorHandleEof);
  // One framing error (bad count 1) is below the threshold: the lost sound comes only at the end.
  ASSERT_EQ(rig.sounds.lostCalls, (std::vector<int32_t>{-1}));

  WorkerRig rig2(2);
  ScriptedSource second;
  second.Bytes(kGoodGga + kJunk + kJunk + kGoodGga);
  second.Then(platform::kErrorDevNotExist);
  EXPECT_EQ(rig2.Run(second), platform::kErrorDevNotExist);
  EXPECT_EQ(rig2.sounds.played, (Played{"fix", "lost", "fix", "lost"}));
  EXPECT_EQ(rig2.observer.statuses,
            (std::vector{Status::kSearching, Status::kFix, Status::kNoFix, Status::kFix, Status::kInactive}));
}

TEST(WorkerIdle, TwoSilentSecondsForceLostOnceAndSearch) {
  WorkerRig rig(3);
  ScriptedSource source;
  source.Bytes(kGoodGga).Idle(19);
  source.beforeRead = [&](int read) {
    if (read == kGgaReads + 20) {
      // 19 idle reads (1.9 s) must not have sounded anything yet.
      EXPECT_EQ(rig.sounds.played, (Played{"fix"}));
    }
    if (read == kGgaReads + 60) rig.stop = true;  // 60 idle reads: two more periods, still one sound
  };
  source.Then(0);
  EXPECT_EQ(rig.Run(source), 0u);
  EXPECT_EQ(rig.sounds.played, (Played{"fix", "lost"}));
  EXPECT_EQ(rig.SleptMs(), 60u * 100u);
  EXPECT_EQ(rig.observer.statuses,
            (std::vector{Status::kSearching, Status::kFix, Status::kSearching, Status::kInactive}));
}

TEST(WorkerIdle, DataResetsTheIdleCount) {
  WorkerRig rig(2);
  ScriptedSource source;
  source.Bytes(kGoodGga).Idle(15).Bytes(kGoodRmc).Idle(15).Then(platform::kErrorHandleEof);
  EXPECT_EQ(rig.Run(source), platform::kErrorHandleEof);
  // 1.5 s of silence twice never forces the sound; only the end does.
  EXPECT_EQ(rig.sounds.lostCalls, (std::vector<int32_t>{-1}));
}

TEST(WorkerCodes, EndingCodesEndTheRunAndAreReturned) {
  for (uint32_t code : {platform::kErrorHandleEof, platform::kErrorDevNotExist, platform::kErrorBufferNotSet,
                        platform::kErrorAccessDenied}) {
    WorkerRig rig(2);
    ScriptedSource source;
    source.Bytes(kGoodGga).Code(code).Bytes(kGoodGga);
    EXPECT_EQ(rig.Run(source), code);
    EXPECT_EQ(source.reads, kGgaReads + 1) << code;
    EXPECT_EQ(rig.observer.ended, std::vector<uint32_t>{code});
    EXPECT_EQ(rig.observer.statuses.back(), Status::kInactive);
    EXPECT_EQ(rig.sounds.lostCalls.back(), -1);
    EXPECT_EQ(rig.sounds.played, (Played{"fix", "lost"}));
  }
}

TEST(WorkerCodes, DataLostDropsTheTornSentence) {
  WorkerRig rig(2);
  ScriptedSource source;
  // The first half of a good sentence, an overrun, then the rest: no fix may come of it.
  source.Bytes(kGoodGga.substr(0, 30)).Code(platform::kErrorInvalidData).Bytes(kGoodGga.substr(30));
  source.Bytes(kBadGga);
  EXPECT_EQ(rig.Run(source), platform::kErrorHandleEof);
  EXPECT_TRUE(rig.sounds.regainedCalls.empty());
  EXPECT_EQ(rig.decoder.Snapshot().latitude, 0.0);
  EXPECT_TRUE(rig.sleeps.empty());
}

TEST(WorkerCodes, NotReadyForcesLostResetsAndWaits) {
  WorkerRig rig(3);
  ScriptedSource source;
  source.Bytes(kGoodGga).Code(platform::kErrorNotReady).Bytes(kGoodRmc);
  EXPECT_EQ(rig.Run(source), platform::kErrorHandleEof);
  EXPECT_EQ(rig.sleeps, std::vector<uint32_t>{2000});
  EXPECT_EQ(rig.observer.notReady, 1);
  EXPECT_EQ(rig.sounds.played, (Played{"fix", "lost", "fix", "lost"}));
  EXPECT_EQ(rig.observer.statuses,
            (std::vector{Status::kSearching, Status::kFix, Status::kSearching, Status::kFix, Status::kInactive}));
  // The fix was cleared: the RMC after the wait carries the only date.
  EXPECT_EQ(rig.decoder.Snapshot().validMask & gps::kValidGgaFix, 0u);
}

TEST(WorkerStop, SetBeforeRunReadsNothing) {
  WorkerRig rig(2);
  rig.stop = true;
  ScriptedSource source;
  EXPECT_EQ(rig.Run(source), 0u);
  EXPECT_EQ(source.reads, 0);
  EXPECT_EQ(rig.observer.ended, std::vector<uint32_t>{0});
  EXPECT_EQ(rig.sounds.played, (Played{"lost"}));
}

// A source that keeps sending the same sentences, as a receiver does, until the worker stops.
class EndlessSource : public ByteSource {
 public:
  std::atomic<int> reads{0};
  uint32_t Read(uint8_t* buffer, size_t capacity, size_t* count) override {
    reads.fetch_add(1);
    *count = std::min(capacity, text_.size() - at_);
    std::memcpy(buffer, text_.data() + at_, *count);
    at_ = (at_ + *count) % text_.size();
    std::this_thread::yield();
    return 0;
  }

 private:
  const std::string text_ = kGoodGga + kGoodRmc;
  size_t at_ = 0;
};

TEST(WorkerStop, StopFromAnotherThreadEndsTheRun) {
  WorkerRig rig(2);
  EndlessSource source;
  uint32_t result = 99;
  std::thread worker([&] { result = rig.Run(source); });
  while (source.reads.load() < 50) std::this_thread::yield();
  // Meanwhile the display reads the fix, as the timer does.
  EXPECT_NEAR(rig.decoder.Snapshot().latitude, 50.0, 1e-9);
  rig.stop = true;
  worker.join();
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(rig.observer.ended, std::vector<uint32_t>{0});
  EXPECT_EQ(rig.observer.statuses.back(), Status::kInactive);
}

TEST(WorkerFaults, ExceptionIsReportedOnceAndTheLoopStartsOver) {
  WorkerRig rig(2);
  ScriptedSource source;
  source.Bytes(kGoodGga.substr(0, 20)).Throw().Throw(platform::kErrorAccessDenied).Bytes(kGoodGga.substr(20));
  source.Bytes(kGoodRmc);
  EXPECT_EQ(rig.Run(source), platform::kErrorHandleEof);
  ASSERT_EQ(rig.observer.faults.size(), 1u);
  EXPECT_EQ(rig.observer.faults[0], "Some exception occured in the GPS read thread.\nCode E0000000\n");
  // The half sentence before the fault is gone; the RMC after it is decoded.
  EXPECT_EQ(rig.sounds.regainedCalls, std::vector<int32_t>{0x200});
  EXPECT_EQ(WorkerFaultText(5), "Some exception occured in the GPS read thread.\nCode 5\n");
}

}  // namespace
}  // namespace warner::test
