// ProcessFix over a drive: what is tracked, what is announced and when, the speed alarm, and
// what goes to the other programs.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "warner/core/engine/tests/engine_test_util.h"

namespace warner::test {
namespace {

constexpr Point kStart{11.0, 48.0};

class Tracking : public ::testing::Test {
 protected:
  // Northwards from kStart, `metres` along the road.
  int DriveTo(double metres, double speedKmh = 50) {
    return rig_.Drive(Offset(kStart, metres, 0), 0, speedKmh, ++tick_ * 1000);
  }
  EngineRig rig_;
  int tick_ = 0;
};

TEST_F(Tracking, TwoPoisFoundTogetherAreAnnouncedOnConsecutiveFixesNearestFirst) {
  rig_.Add(RecordAt(Offset(kStart, 180, 0), 300));  // Poi0, farther
  rig_.Add(RecordAt(Offset(kStart, 120, 5), 300));  // Poi1, nearer
  rig_.Load();
  ASSERT_EQ(DriveTo(0), 1);
  EXPECT_EQ(rig_.engine.Snapshot().candidateCount, 2);
  ASSERT_EQ(DriveTo(10), 1);
  EXPECT_EQ(DriveTo(20), 0);
  ASSERT_EQ(rig_.output.announced.size(), 2u);
  EXPECT_EQ(rig_.output.announced[0].text, "Poi1");
  EXPECT_NEAR(rig_.output.announced[0].signedDistance, 120.0, 2.0);
  EXPECT_EQ(rig_.output.announced[1].text, "Poi0");
  EXPECT_NEAR(rig_.output.announced[1].signedDistance, 170.0, 2.0);
  EXPECT_EQ(rig_.output.poiSounds,
            (std::vector<int32_t>{rig_.output.announced[0].poiIndex, rig_.output.announced[1].poiIndex}));
  const EngineResults results = rig_.engine.Snapshot();
  EXPECT_EQ(results.trackedCount, 2);
  EXPECT_EQ(results.lastAnnouncedPoi, rig_.output.announced[1].poiIndex);
  EXPECT_EQ(results.Text(), "Poi0");
  EXPECT_EQ(results.tracked[0].state, kTrackedAnnounced);
  EXPECT_EQ(results.tracked[1].state, kTrackedAnnounced);
  EXPECT_LT(results.tracked[0].distance, results.tracked[1].distance);
}

TEST_F(Tracking, AnnouncedAgainOnlyAfterLeavingOneAndAHalfTimesTheFirstDistance) {
  rig_.Add(RecordAt(Offset(kStart, 100, 0), 150));
  rig_.Load();
  ASSERT_EQ(DriveTo(0), 1);  // found at 100 m: dropped beyond 120 m
  for (double at : {20.0, 60.0, 90.0, 160.0, 215.0}) EXPECT_EQ(DriveTo(at), 0) << at;
  EXPECT_EQ(rig_.engine.Snapshot().trackedCount, 1);  // 115 m away, still tracked
  EXPECT_EQ(DriveTo(225), 0);                         // 125 m: dropped
  EXPECT_EQ(rig_.engine.Snapshot().trackedCount, 0);
  // Turning back: ahead again, but first outside its warning distance.
  EXPECT_EQ(rig_.Drive(Offset(kStart, 260, 0), 180, 50), 0);
  EXPECT_EQ(rig_.Drive(Offset(kStart, 240, 0), 180, 50), 1);
  EXPECT_EQ(rig_.output.announced.size(), 2u);
}

TEST_F(Tracking, TrackedPoiWithinDropDistanceIsNotAnnouncedAgain) {
  rig_.engine.SetWatchAngle(0);  // found all around
  rig_.Add(RecordAt(Offset(kStart, 100, 0), 150));
  rig_.Load();
  ASSERT_EQ(DriveTo(0), 1);
  for (double at : {50.0, 150.0, 200.0, 150.0, 100.0, 0.0}) EXPECT_EQ(DriveTo(at), 0) << at;
  EXPECT_EQ(DriveTo(225), 1);  // dropped at 125 m and found again on the same fix
}

TEST_F(Tracking, PoiLeftBehindHasNegativeSignedDistance) {
  rig_.Add(RecordAt(Offset(kStart, 100, 0), 150));
  rig_.Load();
  ASSERT_EQ(DriveTo(0), 1);
  const int32_t poi = rig_.output.announced[0].poiIndex;
  EXPECT_GT(rig_.engine.SignedDistance(poi), 0);
  DriveTo(110);
  EXPECT_NEAR(rig_.engine.SignedDistance(poi), -10.0, 2.0);
  EXPECT_NEAR(rig_.engine.CurrentBearing(poi), 180.0, 1.0);
  EXPECT_EQ(rig_.engine.SignedDistance(poi + 1), 0.0);  // not tracked
  EXPECT_EQ(rig_.engine.TrackedSlot(poi + 1), -1);
}

TEST_F(Tracking, FortyCandidatesAndFortySlotsAtMost) {
  // 41 POIs ahead, sorted by longitude: the easternmost one is the 41st candidate.
  for (int i = 0; i < 41; ++i) rig_.Add(RecordAt(Offset(kStart, 100, -20 + i), 300));
  rig_.Load();
  DriveTo(0);
  EXPECT_EQ(rig_.engine.Snapshot().candidateCount, 40);
  EXPECT_EQ(rig_.engine.Snapshot().trackedCount, 40);
  EXPECT_EQ(rig_.engine.TrackedSlot(40), -1);
  // Still all slots used: a new POI, even nearer, is not tracked.
  rig_.table.Clear();
  for (int i = 0; i < 40; ++i) rig_.Add(RecordAt(Offset(kStart, 200, -20 + i), 300));
  rig_.Add(RecordAt(Offset(kStart, 260, 5), 40));  // only within reach later
  rig_.Load();
  DriveTo(0);
  EXPECT_EQ(rig_.engine.Snapshot().trackedCount, 40);
  DriveTo(230);
  const EngineResults results = rig_.engine.Snapshot();
  ASSERT_EQ(results.candidateCount, 1);
  EXPECT_EQ(results.trackedCount, 40);
  EXPECT_EQ(rig_.engine.TrackedSlot(rig_.engine.Candidates()[0].poiIndex), -1);
}

TEST_F(Tracking, IncompleteFixLeavesEverythingAlone) {
  rig_.Add(RecordAt(Offset(kStart, 100, 0), 150));
  rig_.Load();
  gps::GpsFix fix = FixAt(kStart, 0, 50);
  fix.validMask = gps::kValidPosition | gps::kValidSpeed;
  EXPECT_EQ(rig_.engine.ProcessFix(fix), -1);
  EXPECT_EQ(fix.validMask, gps::kValidPosition | gps::kValidSpeed);
  EXPECT_EQ(rig_.engine.History().count, 0);
  fix.validMask |= gps::kValidCourse | gps::kValidAltitude;
  EXPECT_EQ(rig_.engine.ProcessFix(fix), 1);
  EXPECT_EQ(fix.validMask, 0u);  // consumed
  EXPECT_EQ(rig_.engine.ProcessFix(fix), -1);
}

TEST_F(Tracking, WithoutDatabaseNothingIsFoundAndNothingAnnounced) {
  EXPECT_EQ(DriveTo(0), 0);
  EXPECT_EQ(rig_.engine.FindCandidates(), -1);
  EXPECT_EQ(rig_.engine.UpdateTrackedPois(), -1);
  const EngineResults results = rig_.engine.Snapshot();
  EXPECT_EQ(results.candidateCount, -1);
  EXPECT_EQ(results.trackedCount, -1);
  EXPECT_TRUE(rig_.output.announced.empty());
}

TEST_F(Tracking, ChangingTheDatabaseFreesTheSlots) {
  rig_.Add(RecordAt(Offset(kStart, 100, 0), 150));
  rig_.Load();
  ASSERT_EQ(DriveTo(0), 1);
  PoiTable other;
  rig_.engine.SetDatabase(&other);
  EXPECT_EQ(rig_.engine.Snapshot().tracked[0].state, kTrackedFree);
}

TEST_F(Tracking, AnnouncementGoesToOtherPrograms) {
  const std::filesystem::path file = std::filesystem::path(::testing::TempDir()) / "engine_message.txt";
  std::ofstream(file) << "an older and longer announcement line that must go";
  EngineSettings settings;
  settings.registeredMessageName = "WarnerAnnouncement";
  settings.fileMessageName = file.string();
  settings.writeActPos = 1;
  rig_.engine.ApplySettings(settings);
  rig_.table.Add(RecordAt(Offset(kStart, 100, 0), 150), rig_.table.AddCategory(".Blitz\xE4.wav"));
  rig_.Load();
  ASSERT_EQ(rig_.Drive(kStart, 0, 50, ((13 * 60 + 4) * 60 + 5) * 1000), 1);
  EXPECT_EQ(rig_.output.messages, std::vector<std::string>{"WarnerAnnouncement"});
  std::stringstream content;
  content << std::ifstream(file, std::ios::binary).rdbuf();
  char distance[32];
  std::snprintf(distance, sizeof distance, "%.2f", rig_.engine.SignedDistance(0));
  EXPECT_EQ(content.str(), std::string("GPS Time: 13:04:05, Dist: ") + distance + "m, Anno: Blitz\xC3\xA4");
  EXPECT_EQ(rig_.output.fileLines, std::vector<std::string>{content.str()});
  EXPECT_EQ(rig_.output.positionsDue, 1);
  std::filesystem::remove(file);
}

TEST_F(Tracking, MessageFileThatCannotBeWrittenIsSkipped) {
  EngineSettings settings;
  settings.fileMessageName = "/nonexistent-folder/message.txt";
  rig_.engine.ApplySettings(settings);
  rig_.Add(RecordAt(Offset(kStart, 100, 0), 150));
  rig_.Load();
  EXPECT_EQ(DriveTo(0), 1);
  EXPECT_TRUE(rig_.output.fileLines.empty());
  EXPECT_EQ(rig_.output.positionsDue, 0);
}

TEST_F(Tracking, LongAnnouncementTextIsCutWhole) {
  std::string category(300, 'a');
  category[257] = '\xE4';  // two bytes in UTF-8, the second would be cut
  rig_.table.Add(RecordAt(Offset(kStart, 100, 0), 150), rig_.table.AddCategory(category));
  rig_.Load();
  ASSERT_EQ(DriveTo(0), 1);
  const EngineResults results = rig_.engine.Snapshot();
  EXPECT_EQ(results.Text(), std::string(257, 'a') + "\xC3\xA4");
  rig_.engine.ClearAnnouncement();
  EXPECT_EQ(rig_.engine.Snapshot().Text(), "");
}

TEST(LoadedDatabase, AnnouncesFromTheFileWithItsTexts) {
  EngineRig rig;
  const std::vector<std::string> categories{".Radar.wav", "Sounds\\Gefahr"};
  rig.table.Add(RecordAt(Offset(kStart, 100, 0), 150), 0);
  rig.table.Add(RecordAt(Offset(kStart, 300, 0), 0x8000 | 10), 1);
  rig.table.Add(RecordAt(Offset(kStart, 3000, 0), 150), 0);
  rig.table.Finish();
  LoadedDatabase loaded(rig.table, categories);
  ASSERT_EQ(loaded.LoadResult(), 0);
  DatabasePoiSource source(loaded.Database());
  rig.engine.SetDatabase(&source);
  ASSERT_EQ(rig.Drive(kStart, 0, 72), 1);  // 10 s at 20 m/s: 250 m, the second not yet
  EXPECT_EQ(rig.engine.Snapshot().Text(), "Radar");
  EXPECT_EQ(rig.Drive(Offset(kStart, 70, 0), 0, 72), 1);
  EXPECT_EQ(rig.engine.Snapshot().Text(), "Gefahr");
  EXPECT_EQ(rig.engine.Snapshot().BitmapPath(), "");
}

TEST(SpeedAlarm, SoundsOnceAboveTheAverageAndAgainAfterFallingBelow) {
  EngineRig rig;
  EngineSettings settings;
  settings.speedsToAverage = 3;
  settings.speedLimitKmh = 100;
  settings.speedLimitWavFile = "Speed.wav";
  rig.engine.ApplySettings(settings);
  const double speeds[] = {90, 90, 120, 120, 120, 130, 99, 150, 150, 110};
  const int expected[] = {0, 0, 0, 1, -1, -1, 0, 1, -1, -1};
  for (size_t i = 0; i < std::size(speeds); ++i) {
    rig.engine.SetFix(0, 0, 0, 0, speeds[i], 0);
    EXPECT_EQ(rig.engine.CheckSpeedLimit(), expected[i]) << i;
  }
  // Through ProcessFix: one alarm, the configured sound with its fallback.
  EngineRig driven;
  driven.engine.ApplySettings(settings);
  for (double speed : {120.0, 120.0, 120.0, 130.0}) driven.Drive(kStart, 0, speed);
  EXPECT_EQ(driven.output.sounds, std::vector<std::string>{"Speed.wav|\\Windows\\Alarm1.wav"});
  ASSERT_EQ(driven.output.speedAlarms.size(), 1u);
  EXPECT_DOUBLE_EQ(driven.output.speedAlarms[0], 120.0);
  // New limits re-arm it.
  driven.engine.SetSpeedLimit(3, 110);
  driven.Drive(kStart, 0, 130);
  EXPECT_EQ(driven.output.speedAlarms.size(), 2u);
}

TEST(SpeedAlarm, OffWithoutSpeedsToAverageOrLimit) {
  for (auto [speeds, limit] : {std::pair{0, 100.0}, std::pair{-3, 100.0}, std::pair{3, 0.0}}) {
    EngineRig rig;
    rig.engine.SetSpeedLimit(speeds, limit);
    for (int i = 0; i < 3; ++i) rig.Drive(kStart, 0, 150);
    EXPECT_TRUE(rig.output.speedAlarms.empty()) << speeds << " " << limit;
  }
}

TEST(FixHistory, KeepsTheLastTenOldestFirstAndResets) {
  EngineRig rig;
  for (int i = 0; i < 13; ++i) rig.engine.SetFix(i, 0, 0, 0, i, i);
  const FixHistory& history = rig.engine.History();
  ASSERT_EQ(history.count, 10);
  EXPECT_EQ(history.samples[0].timeOfDayMs, 3);
  EXPECT_EQ(history.samples[9].timeOfDayMs, 12);
  EXPECT_DOUBLE_EQ(rig.engine.CurrentFix().speedMs, 12 / 3.6);
  rig.engine.ResetEngine();
  EXPECT_EQ(rig.engine.History().count, 0);
  EXPECT_EQ(rig.engine.CurrentFix().longitude, 0.0);
}

}  // namespace
}  // namespace warner::test
