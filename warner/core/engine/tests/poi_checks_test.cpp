// The tests of one record against the current fix: distance, bearing, warning distance,
// direction and the candidate decision.

#include <gtest/gtest.h>

#include "warner/core/engine/tests/engine_test_util.h"

namespace warner::test {
namespace {

constexpr Point kEquator{10.0, 0.0};
constexpr uint16_t kSeconds = snt::kSecondsFlag;
constexpr uint16_t kHasDirection = snt::kDirectionFlag;
constexpr uint16_t kBothWays = snt::kBothWaysFlag;

class PoiChecks : public ::testing::Test {
 protected:
  void At(Point where, double course, double speedKmh) {
    rig_.engine.SetFix(where.longitude, where.latitude, 0, course, speedKmh, 0);
  }
  bool Candidate(const PoiRecord& record) {
    double distance = 0, bearing = 0;
    return rig_.engine.IsCandidate(record, distance, bearing);
  }
  EngineRig rig_;
};

TEST_F(PoiChecks, DistanceAndBearingOnTheSphere) {
  At(kEquator, 0, 50);
  PoiRecord north = RecordAt({10.0, 1.0}, 100);
  EXPECT_NEAR(rig_.engine.Distance(north), kMetresPerDegree, 1e-3);
  EXPECT_NEAR(rig_.engine.Bearing(north), 0.0, 1e-9);
  EXPECT_NEAR(rig_.engine.Bearing(RecordAt({10.01, 0.0}, 100)), 90.0, 1e-9);
  EXPECT_NEAR(rig_.engine.Bearing(RecordAt({10.0, -0.01}, 100)), 180.0, 1e-9);
  EXPECT_NEAR(rig_.engine.Bearing(RecordAt({9.99, 0.0}, 100)), 270.0, 1e-9);
  // North-west lies just below 360, never at a negative angle.
  const double northWest = rig_.engine.Bearing(RecordAt({9.99, 0.01}, 100));
  EXPECT_NEAR(northWest, 315.0, 1e-3);
}

TEST_F(PoiChecks, WarningDistanceFromMetresOrSeconds) {
  At(kEquator, 0, 36);  // 10 m/s
  EXPECT_DOUBLE_EQ(rig_.engine.WarningDistance(RecordAt(kEquator, 500)), 500.0);
  EXPECT_DOUBLE_EQ(rig_.engine.WarningDistance(RecordAt(kEquator, kSeconds | 10)), 150.0);
  EXPECT_DOUBLE_EQ(rig_.engine.WarningDistance(RecordAt(kEquator, 0)), 200.0);
  At(kEquator, 0, 0);
  EXPECT_DOUBLE_EQ(rig_.engine.WarningDistance(RecordAt(kEquator, kSeconds | 10)), 50.0);
}

TEST_F(PoiChecks, TimeBasedPoiWarnsWithinSpeedTimesSecondsPlusMargin) {
  At(kEquator, 0, 36);
  EXPECT_TRUE(Candidate(RecordAt(Offset(kEquator, 140, 0), kSeconds | 10)));
  EXPECT_FALSE(Candidate(RecordAt(Offset(kEquator, 160, 0), kSeconds | 10)));
  // Within the 50 m margin, but a standing vehicle finds nothing.
  At(kEquator, 0, 0);
  EXPECT_FALSE(Candidate(RecordAt(Offset(kEquator, 20, 0), kSeconds | 10)));
  EXPECT_FALSE(Candidate(RecordAt(Offset(kEquator, 20, 0), 500)));
}

TEST_F(PoiChecks, PoiDirectionNeedsItsFlag) {
  EXPECT_DOUBLE_EQ(WarningEngine::PoiDirection(RecordAt(kEquator, 100, kHasDirection | 900)), 90.0);
  EXPECT_DOUBLE_EQ(WarningEngine::PoiDirection(RecordAt(kEquator, 100, kHasDirection | kBothWays | 3599)), 359.9);
  EXPECT_DOUBLE_EQ(WarningEngine::PoiDirection(RecordAt(kEquator, 100, 900)), -1.0);
}

TEST_F(PoiChecks, DirectionAgainstCourseWithToleranceAndBothWays) {
  rig_.engine.SetWatchAngle(18);
  rig_.engine.SetDirectionTolerance(27);  // 45 degrees in all
  At(kEquator, 270, 50);
  double direction = 0;
  EXPECT_TRUE(rig_.engine.DirectionMatches(RecordAt(kEquator, 100, kHasDirection | kBothWays | 900), direction));
  EXPECT_DOUBLE_EQ(direction, 270.0);  // compared the other way round
  EXPECT_FALSE(rig_.engine.DirectionMatches(RecordAt(kEquator, 100, kHasDirection | 900), direction));
  EXPECT_TRUE(rig_.engine.DirectionMatches(RecordAt(kEquator, 100, kHasDirection | 2250), direction));   // 45 off
  EXPECT_FALSE(rig_.engine.DirectionMatches(RecordAt(kEquator, 100, kHasDirection | 2240), direction));  // 46 off
  EXPECT_TRUE(rig_.engine.DirectionMatches(RecordAt(kEquator, 100, 0), direction));                      // no direction
  // Across north: 10 degrees against a course of 350.
  At(kEquator, 350, 50);
  EXPECT_TRUE(rig_.engine.DirectionMatches(RecordAt(kEquator, 100, kHasDirection | 100), direction));
}

TEST_F(PoiChecks, WatchAngleBorderIsInside) {
  rig_.engine.SetWatchAngle(18);
  // Due east on the equator has a bearing of exactly 90.
  const PoiRecord east = RecordAt(Offset(kEquator, 0, 100), 200);
  At(kEquator, 72, 50);
  EXPECT_TRUE(Candidate(east));
  At(kEquator, 108, 50);
  EXPECT_TRUE(Candidate(east));
  At(kEquator, 71.9, 50);
  EXPECT_FALSE(Candidate(east));
  // Ahead across north: course 350, POI at bearing 0.
  At(kEquator, 350, 50);
  EXPECT_TRUE(Candidate(RecordAt(Offset(kEquator, 100, 0), 200)));
}

TEST_F(PoiChecks, NoWatchAngleMeansAllAroundWithoutDirectionTests) {
  const PoiRecord behindFacingAway = RecordAt(Offset(kEquator, -100, 0), 200, kHasDirection | 1800);
  for (double angle : {0.0, 360.0, 720.0}) {
    rig_.engine.SetWatchAngle(angle);
    EXPECT_DOUBLE_EQ(rig_.engine.WatchAngle(), 0.0) << angle;
    At(kEquator, 0, 50);
    EXPECT_TRUE(Candidate(behindFacingAway)) << angle;
  }
  rig_.engine.SetWatchAngle(18);
  EXPECT_FALSE(Candidate(behindFacingAway));
}

TEST_F(PoiChecks, AnglesAreNormalised) {
  rig_.engine.SetWatchAngle(-10);
  EXPECT_DOUBLE_EQ(rig_.engine.WatchAngle(), 350.0);
  rig_.engine.SetDirectionTolerance(400);
  EXPECT_DOUBLE_EQ(rig_.engine.DirectionTolerance(), 40.0);
}

}  // namespace
}  // namespace warner::test
