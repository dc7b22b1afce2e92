// The worker on the sources beside a plain byte stream: none at all, the alternate file as the
// position source or for the radio values, and the separate traffic port.

#include <gtest/gtest.h>

#include <deque>

#include "warner/core/worker/gps_worker.h"
#include "warner/core/worker/tests/worker_test_util.h"

namespace warner::test {
namespace {

using Status = WorkerObserver::Status;
using Played = std::vector<std::string>;

// Each step is one read of the file and, when it brought a text, what decoding it gives.
class ScriptedAlternate : public AlternateFileReader {
 public:
  struct Step {
    uint32_t code = 0;
    size_t count = 0;
    int decoded = -1;
  };
  explicit ScriptedAlternate(gps::NmeaDecoder& decoder) : decoder_(decoder) {}

  ScriptedAlternate& Text(int decoded) {
    steps_.push_back({0, 100, decoded});
    return *this;
  }
  ScriptedAlternate& Code(uint32_t code, size_t count = 0) {
    steps_.push_back({code, count, -1});
    return *this;
  }

  uint32_t ReadAlternateFile(size_t* count) override {
    ++reads;
    *count = 0;
    if (steps_.empty()) return platform::kErrorHandleEof;
    current_ = steps_.front();
    steps_.pop_front();
    *count = current_.count;
    return current_.code;
  }
  int DecodeAlternateText() override {
    ++decodes;
    if (current_.decoded == 0) {
      // As the alternate source writes a good fix.
      std::lock_guard guard(decoder_.GpsFixLock());
      gps::GpsFix& fix = decoder_.FixUnderLock();
      fix.latitude = 50.0;
      fix.validMask |= gps::kValidFixComplete;
      fix.badSentenceCount = 0;
    }
    return current_.decoded;
  }

  int reads = 0;
  int decodes = 0;

 private:
  gps::NmeaDecoder& decoder_;
  std::deque<Step> steps_;
  Step current_;
};

class CountingTrafficPort : public TrafficPortReader {
 public:
  int ReadTmcPort() override { return ++reads; }
  int reads = 0;
};

TEST(WorkerSources, WithoutAnySourceTheRunEndsAtOnceWith55) {
  WorkerRig rig(2);
  GpsWorker worker(rig.decoder, rig.engine.engine, rig.sounds, rig.observer, rig.settings,
                   [&](uint32_t ms) { rig.sleeps.push_back(ms); });
  EXPECT_EQ(worker.Run(nullptr, rig.stop), platform::kErrorDevNotExist);
  EXPECT_EQ(rig.observer.ended, std::vector<uint32_t>{55});
  EXPECT_EQ(rig.sounds.lostCalls, std::vector<int32_t>{-1});
  EXPECT_TRUE(rig.sleeps.empty());

  // A radio-only alternate file is no position source either.
  ScriptedAlternate alternate(rig.decoder);
  worker.SetAlternateFileReader(&alternate, false);
  EXPECT_EQ(worker.Run(nullptr, rig.stop), platform::kErrorDevNotExist);
  EXPECT_EQ(alternate.reads, 0);
}

TEST(WorkerSources, TheAlternateFileAsPositionSource) {
  WorkerRig rig(2);
  ScriptedAlternate alternate(rig.decoder);
  alternate.Text(0).Code(0).Text(-3).Text(-3).Text(0).Code(platform::kErrorNotReady).Text(1);
  alternate.Code(platform::kErrorDevNotExist);
  GpsWorker worker(rig.decoder, rig.engine.engine, rig.sounds, rig.observer, rig.settings,
                   [&](uint32_t ms) { rig.sleeps.push_back(ms); });
  worker.SetAlternateFileReader(&alternate, true);
  EXPECT_EQ(worker.Run(nullptr, rig.stop), platform::kErrorDevNotExist);

  EXPECT_EQ(alternate.decodes, 5);
  // A text without news is an idle pass; not ready waits as for a port.
  EXPECT_EQ(rig.sleeps, (std::vector<uint32_t>{100, 2000}));
  // Failed texts count for both sentence types, so two of them sound lost with PlaySatFixSound 2.
  EXPECT_EQ(rig.sounds.played, (Played{"fix", "lost", "fix", "lost"}));
  EXPECT_EQ(rig.sounds.lostCalls.front(), 0x300);
  EXPECT_EQ(rig.observer.statuses, (std::vector{Status::kSearching, Status::kFix, Status::kNoFix, Status::kFix,
                                                Status::kSearching, Status::kNoFix, Status::kInactive}));
  // The good fixes reached the engine, which consumed them.
  EXPECT_EQ(rig.decoder.Snapshot().validMask & gps::kValidFixComplete, 0u);
}

TEST(WorkerSources, TheAlternateFileRefreshesTheRadioValuesAfterEachFix) {
  WorkerRig rig(2);
  ScriptedAlternate alternate(rig.decoder);
  alternate.Text(0).Text(0).Code(platform::kErrorDevNotExist).Text(0);
  ScriptedSource source;
  source.Bytes(kGoodGga).Bytes(kBadGga).Bytes(kGoodRmc).Bytes(kGoodRmc).Bytes(kGoodRmc);
  GpsWorker worker(rig.decoder, rig.engine.engine, rig.sounds, rig.observer, rig.settings,
                   [&](uint32_t ms) { rig.sleeps.push_back(ms); });
  worker.SetAlternateFileReader(&alternate, false);
  EXPECT_EQ(worker.Run(source, rig.stop), platform::kErrorHandleEof);
  // After the GGA and the first two RMC; the bad GGA decodes no fix; after the failed read the
  // file is left alone for the rest of the run.
  EXPECT_EQ(alternate.reads, 3);
  EXPECT_EQ(alternate.decodes, 2);
}

TEST(WorkerSources, TheTrafficPortIsReadOnIdlePassesWhenSelected) {
  for (const auto& [evaluateTmc, expected] : {std::pair{2, 3}, std::pair{-2, 3}, std::pair{1, 0}, std::pair{3, 0}}) {
    WorkerRig rig(2);
    rig.settings.evaluateTmc = evaluateTmc;
    CountingTrafficPort traffic;
    ScriptedSource source;
    source.Idle(2).Bytes(kGoodGga).Idle(1);
    GpsWorker worker(rig.decoder, rig.engine.engine, rig.sounds, rig.observer, rig.settings,
                     [&](uint32_t ms) { rig.sleeps.push_back(ms); });
    worker.SetTrafficPortReader(&traffic);
    EXPECT_EQ(worker.Run(source, rig.stop), platform::kErrorHandleEof);
    EXPECT_EQ(traffic.reads, expected) << evaluateTmc;
  }
}

}  // namespace
}  // namespace warner::test
