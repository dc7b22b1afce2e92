// The windowed search against a test of every record: on random databases around drives at
// several latitudes, across the 180 degree meridian and near a pole, it must find exactly the
// same candidates in the same order.

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <vector>

#include "warner/core/engine/search_window.h"
#include "warner/core/engine/tests/engine_test_util.h"

namespace warner::test {
namespace {

// What FindCandidates must return: every record in index order, up to the limit.
std::vector<int32_t> BruteForce(const WarningEngine& engine, const PoiSource& source) {
  std::vector<int32_t> found;
  for (int32_t index = 0; index < source.RecordCount() && found.size() < kMaxCandidates; ++index) {
    double distance = 0, bearing = 0;
    if (engine.IsCandidate(source.Record(index), distance, bearing)) found.push_back(index);
  }
  return found;
}

std::vector<int32_t> Windowed(WarningEngine& engine) {
  const int count = engine.FindCandidates();
  std::vector<int32_t> found;
  for (const PoiCandidate& candidate : engine.Candidates()) found.push_back(candidate.poiIndex);
  EXPECT_EQ(count, static_cast<int>(found.size()));
  return found;
}

// POIs scattered within `spread` metres of `centre`, with warning distances in metres (0 among
// them, which falls back to 200 m), in seconds, with and without directions.
void Scatter(EngineRig& rig, Point centre, double spread, int count, std::mt19937& random) {
  std::uniform_real_distribution<double> offset(-spread, spread);
  std::uniform_int_distribution<int> kind(0, 5), metres(0, 400), seconds(1, 20), tenths(0, 3599);
  for (int i = 0; i < count; ++i) {
    const Point at = Offset(centre, offset(random), offset(random));
    const int k = kind(random);
    const uint16_t warn = k == 0   ? 0
                          : k == 1 ? static_cast<uint16_t>(0x8000 | seconds(random))
                                   : static_cast<uint16_t>(metres(random));
    const uint16_t direction = k == 2 ? static_cast<uint16_t>(0x8000 | tenths(random)) : 0;
    PoiRecord record = RecordAt(at, warn, direction);
    // Wrap east of the meridian back to the west end, as a receiver reports it.
    if (record.longitude > 18000000) record.longitude -= 36000000;
    if (record.longitude < -18000000) record.longitude += 36000000;
    rig.Add(record);
  }
}

struct Drive {
  const char* name;
  Point start;
  double course;
};

void PrintTo(const Drive& drive, std::ostream* out) { *out << drive.name; }

class WindowedSearch : public ::testing::TestWithParam<Drive> {};

TEST_P(WindowedSearch, FindsExactlyWhatEveryRecordTestFinds) {
  const Drive drive = GetParam();
  std::mt19937 random(7);
  EngineRig rig;
  Scatter(rig, drive.start, 5000, 4000, random);
  rig.Load();
  std::uniform_real_distribution<double> speed(1, 130), course(0, 360);
  int total = 0;
  for (double angle : {0.0, 18.0, 90.0}) {
    rig.engine.SetWatchAngle(angle);
    for (int step = 0; step < 150; ++step) {
      Point at = Offset(drive.start, -4000 + step * 55.0, std::sin(step * 0.1) * 1500);
      if (at.longitude > 180) at.longitude -= 360;
      if (at.longitude < -180) at.longitude += 360;
      const double kmh = speed(random);
      rig.engine.SetFix(at.longitude, at.latitude, 0, step % 3 ? drive.course : course(random), kmh, step * 1000);
      const std::vector<int32_t> expected = BruteForce(rig.engine, rig.table);
      ASSERT_EQ(Windowed(rig.engine), expected) << drive.name << " step " << step << " angle " << angle;
      total += static_cast<int>(expected.size());
    }
  }
  EXPECT_GT(total, 100) << "the drive should meet POIs";
}

INSTANTIATE_TEST_SUITE_P(Latitudes, WindowedSearch,
                         ::testing::Values(Drive{"equator", {10.0, 0.0}, 0}, Drive{"north45", {7.5, 45.0}, 10},
                                           Drive{"north60", {25.0, 60.0}, 80}, Drive{"south35", {-58.4, -35.0}, 200},
                                           Drive{"meridian", {179.99, -17.0}, 90},
                                           Drive{"westOfMeridian", {-179.995, 64.0}, 270},
                                           Drive{"nearPole", {40.0, 89.9}, 30}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(SearchWindow, HighLatitudeFindsPoiWithinRadiusEastOrWest) {
  // At 60 degrees a degree of longitude is half as long as at the equator: a window measured
  // with the sine of the latitude would stop short of these.
  constexpr Point kAt{25.0, 60.0};
  for (double east : {-190.0, 190.0}) {
    EngineRig rig;
    rig.Add(RecordAt(Offset(kAt, 0, 3000), 100));
    rig.Add(RecordAt(Offset(kAt, 0, east), 200));
    rig.Add(RecordAt(Offset(kAt, 0, -3000), 100));
    rig.Load();
    rig.engine.SetWatchAngle(0);
    rig.engine.SetFix(kAt.longitude, kAt.latitude, 0, 0, 50, 0);
    ASSERT_EQ(rig.engine.FindCandidates(), 1) << east;
    EXPECT_NEAR(rig.engine.Candidates()[0].distance, 190.0, 1.5);
  }
}

TEST(SearchWindow, RadiusCoversTheDefaultOfARecordWithoutDistance) {
  // Every other record warns within 50 m; the one without a distance warns within 200 m.
  constexpr Point kAt{8.0, 50.0};
  EngineRig rig;
  rig.Add(RecordAt(Offset(kAt, 0, 2000), 50));
  rig.Add(RecordAt(Offset(kAt, 0, 150), 0));
  rig.Add(RecordAt(Offset(kAt, 0, -2000), 50));
  rig.Load();
  rig.engine.SetFix(kAt.longitude, kAt.latitude, 0, 90, 50, 0);
  ASSERT_EQ(rig.engine.FindCandidates(), 1);
  EXPECT_GE(rig.engine.SearchRadius(), 200.0);
}

TEST(SearchWindow, StaysNarrowAwayFromThePoles) {
  EngineRig rig;
  for (int i = 0; i < 1000; ++i) rig.Add(RecordAt({-179.9 + i * 0.36, 48.0}, 100));
  rig.Load();
  const SearchWindow window = FindSearchWindow(rig.table, 0.1, 48.0, 500);  // on record 500
  ASSERT_EQ(window.count, 1);
  EXPECT_EQ(window.ranges[0].begin, 500);
  EXPECT_EQ(window.ranges[0].end, 501);
  // Across the meridian: two ranges at the two ends, in index order.
  const SearchWindow across = FindSearchWindow(rig.table, 179.99, 48.0, 50000);
  ASSERT_EQ(across.count, 2);
  EXPECT_EQ(across.ranges[0].begin, 0);
  EXPECT_EQ(across.ranges[1].end, 1000);
  // Reaching over a pole, every record can be near.
  const SearchWindow pole = FindSearchWindow(rig.table, 0.0, 89.999, 500);
  ASSERT_EQ(pole.count, 1);
  EXPECT_EQ(pole.ranges[0].end - pole.ranges[0].begin, 1000);
}

TEST(SearchWindow, EmptyOrMeaninglessInputGivesNoWindow) {
  EngineRig rig;
  EXPECT_EQ(FindSearchWindow(rig.table, 0, 0, 500).count, 0);
  rig.Add(RecordAt({0, 0}, 100));
  rig.Load();
  EXPECT_EQ(FindSearchWindow(rig.table, std::nan(""), 0, 500).count, 0);
  EXPECT_EQ(FindSearchWindow(rig.table, 0, std::nan(""), 500).count, 0);
  // Out of any receiver's range, or an endless radius: everything, computed without overflow.
  EXPECT_EQ(FindSearchWindow(rig.table, 0, 1e300, 500).count, 1);
  const SearchWindow endless = FindSearchWindow(rig.table, 0, 0, std::numeric_limits<double>::infinity());
  ASSERT_EQ(endless.count, 1);
  EXPECT_LT(endless.south, 0);
}

}  // namespace
}  // namespace warner::test
