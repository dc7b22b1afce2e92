// A simulated drive past POIs, fed through the worker in reads of several sizes: the announcements
// must come at the second the car gets within warning distance, whatever the read boundaries.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/drive_sim/motion.h"
#include "tools/drive_sim/nmea_writer.h"
#include "tools/drive_sim/route.h"
#include "warner/core/worker/tests/worker_test_util.h"

namespace warner::test {
namespace {

// North at 72 km/h (20 m/s) past two POIs, with a receiver pause of 5 s between them.
constexpr const char* kRoute =
    "start 2024-06-01 08:00:00\n"
    "8.0 50.0 72\n"
    "8.0 50.012 72\n"
    "pause 5\n"
    "8.0 50.03 72\n";
constexpr uint16_t kWarnMetres = 300;
const Point kFirstPoi{8.0, 50.0102};
const Point kSecondPoi{8.0, 50.0253};

std::vector<drive_sim::DriveSample> Samples() {
  drive_sim::Route route;
  drive_sim::RouteError error;
  EXPECT_TRUE(drive_sim::ParseRoute(kRoute, route, error)) << error.message;
  drive_sim::MotionOptions motion;
  motion.acceleration = 0;
  std::vector<drive_sim::DriveSample> samples;
  std::string message;
  EXPECT_TRUE(drive_sim::SimulateDrive(route, motion, samples, message)) << message;
  return samples;
}

// The second of day at which the car, heard by the receiver, is first within warning distance.
int FirstSecondWithin(const std::vector<drive_sim::DriveSample>& samples, Point poi) {
  for (const drive_sim::DriveSample& s : samples) {
    if (s.receiver != drive_sim::ReceiverState::kFix) continue;
    const double d = drive_sim::DistanceMetres(s.latitude, s.longitude, poi.latitude, poi.longitude);
    // Keep clear of the edge so that rounding in the log cannot move the second.
    EXPECT_GT(std::abs(d - kWarnMetres), 2.0) << "move the POI";
    if (d <= kWarnMetres) return static_cast<int>(s.utcSeconds % 86400);
  }
  return -1;
}

class AnnouncedSeconds : public EngineOutput {
 public:
  std::vector<int> seconds;
  std::vector<int32_t> pois;
  void Announced(const Announcement& a) override {
    seconds.push_back(a.hour * 3600 + a.minute * 60 + a.second);
    pois.push_back(a.poiIndex);
  }
};

class WorkerDrive : public testing::TestWithParam<size_t> {};

TEST_P(WorkerDrive, AnnouncesEachPoiAtTheSecondItComesWithinReach) {
  const std::vector<drive_sim::DriveSample> samples = Samples();
  const std::string log = drive_sim::WriteNmeaLog(samples, {});

  platform::CriticalSection lock;
  AnnouncedSeconds output;
  WarningEngine engine(lock, output);
  PoiTable table;
  table.Add(RecordAt(kFirstPoi, kWarnMetres), table.AddCategory("Camera"));
  table.Add(RecordAt(kSecondPoi, kWarnMetres), table.AddCategory("Danger"));
  table.Finish();
  engine.SetDatabase(&table);
  gps::NmeaDecoder decoder(lock);
  CountingSatSounds sounds(2);
  RecordingObserver observer;
  std::atomic<bool> stop{false};
  GpsWorker worker(decoder, engine, sounds, observer, WorkerSettings{}, [](uint32_t) {});

  ScriptedSource source;
  source.Bytes(log, GetParam());
  EXPECT_EQ(worker.Run(source, stop), platform::kErrorHandleEof);

  ASSERT_EQ(output.seconds.size(), 2u);
  EXPECT_EQ(output.seconds[0], FirstSecondWithin(samples, kFirstPoi));
  EXPECT_EQ(output.seconds[1], FirstSecondWithin(samples, kSecondPoi));
  EXPECT_NE(output.pois[0], output.pois[1]);
  // One fix sound at the start; the pause is shorter than the idle limit (reads here never idle).
  EXPECT_EQ(sounds.played, (std::vector<std::string>{"fix", "lost"}));
  EXPECT_EQ(observer.ended, std::vector<uint32_t>{platform::kErrorHandleEof});
}

INSTANTIATE_TEST_SUITE_P(ReadSizes, WorkerDrive, testing::Values(size_t{1}, size_t{7}, size_t{64}));

}  // namespace
}  // namespace warner::test
