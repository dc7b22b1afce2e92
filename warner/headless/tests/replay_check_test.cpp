// The search window against a test of every record, through the whole program path: random POI
// databases and random drives at several latitudes (and across the 180 degree meridian), replayed
// once as on the road and once in check mode; every event must be the same.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "converter/common/converter_config.h"
#include "converter/common/parsed_poi.h"
#include "converter/poi_list/poi_list_reader.h"
#include "converter/snt/snt_writer.h"
#include "formats/snt/snt_format.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/system_root.h"
#include "tools/drive_sim/motion.h"
#include "tools/drive_sim/nmea_writer.h"
#include "tools/drive_sim/route.h"
#include "warner/headless/replay.h"

namespace warner {
namespace {

namespace fs = std::filesystem;

struct Region {
  const char* name;
  double longitude, latitude;
};

// Subcategories that exercise every kind of warning distance.
converter::ConverterConfig Categories() {
  converter::ConverterConfig config;
  const char* distances[] = {"400m", "15s", "", "0", "1km"};
  for (int i = 0; i < 5; ++i) {
    converter::SubcategoryConfig sub;
    sub.subGroup = "Group" + std::to_string(i);
    sub.wavFile = ".Sound" + std::to_string(i);
    sub.sentryDistance = distances[i];
    config.subcategories.push_back(sub);
  }
  return config;
}

double Wrap(double longitude) {
  return longitude > 180 ? longitude - 360 : longitude < -180 ? longitude + 360 : longitude;
}

// POIs scattered over about 0.3 degrees around the region's centre, half of them with a direction.
std::vector<converter::ParsedPoi> RandomPois(const Region& region, std::mt19937& random) {
  std::uniform_real_distribution<double> offset(-0.15, 0.15), direction(0, 360);
  std::vector<converter::ParsedPoi> pois(2000);
  for (size_t i = 0; i < pois.size(); ++i) {
    converter::ParsedPoi& p = pois[i];
    p.subcategory = static_cast<int32_t>(i % 5);
    p.x = Wrap(region.longitude + offset(random) / std::cos(region.latitude * M_PI / 180));
    p.y = region.latitude + offset(random);
    p.x100k = converter::ToHundredThousandths(p.x);
    p.y100k = converter::ToHundredThousandths(p.y);
    if (i % 2 == 0) {
      p.directionFlags = static_cast<uint16_t>(snt::kDirectionFlag | (i % 4 == 0 ? snt::kBothWaysFlag : 0));
      p.directionTenths = std::floor(direction(random)) * 10;
    }
  }
  converter::SortPois(pois);
  return pois;
}

// A drive of six legs between random points of the region at 30 to 130 km/h.
std::string RandomDrive(const Region& region, std::mt19937& random) {
  std::uniform_real_distribution<double> offset(-0.12, 0.12), speed(30, 130);
  std::string route = "start 2026-06-15 07:30:00\n";
  char line[128];
  for (int i = 0; i < 6; ++i) {
    std::snprintf(line, sizeof line, "%.6f %.6f %.0f\n",
                  Wrap(region.longitude + offset(random) / std::cos(region.latitude * M_PI / 180)),
                  region.latitude + offset(random), speed(random));
    route += line;
  }
  drive_sim::Route parsed;
  drive_sim::RouteError error;
  EXPECT_TRUE(drive_sim::ParseRoute(route, parsed, error)) << error.message;
  std::vector<drive_sim::DriveSample> samples;
  std::string message;
  EXPECT_TRUE(drive_sim::SimulateDrive(parsed, {}, samples, message)) << message;
  return drive_sim::WriteNmeaLog(samples, {});
}

class ReplayCheck : public ::testing::TestWithParam<Region> {
 protected:
  void SetUp() override {
    // No satellite sounds and no speed alarm: the comparison is about the warnings.
    platform::testing::WriteFile(dir_ / "folder" / "SntGlobals.ini", "PlaySatFixSound = 0\r\nWatchAngle = 18\r\n");
  }

  std::string Replay(const std::string& log, bool everyRecord) {
    std::FILE* out = std::tmpfile();
    ReplayOptions options;
    options.logFile = log;
    options.programFolder = (dir_ / "folder").string();
    options.json = true;
    options.testEveryRecord = everyRecord;
    platform::ScriptedReporter reporter;
    EXPECT_EQ(RunReplay(options, out, reporter), kReplayDone);
    std::rewind(out);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;) text.append(buffer, n);
    std::fclose(out);
    return text;
  }

  const platform::testing::TempSystemRoot system_;
  const platform::testing::ScopedEnv sound_{"DW_SOUND", "null"};
  const fs::path dir_{system_.Folder()};
};

TEST_P(ReplayCheck, TheSearchWindowFindsWhatEveryRecordFinds) {
  std::mt19937 random(static_cast<unsigned>(std::hash<std::string>()(GetParam().name)));
  const converter::ConverterConfig config = Categories();
  const std::vector<converter::ParsedPoi> pois = RandomPois(GetParam(), random);
  const converter::SntImage image = converter::BuildSntImage(config, pois, "random");
  std::ofstream(dir_ / "folder" / "Sentry.snt", std::ios::binary)
      .write(reinterpret_cast<const char*>(image.bytes.data()), static_cast<std::streamsize>(image.bytes.size()));

  int announcements = 0;
  for (int drive = 0; drive < 2; ++drive) {
    const fs::path log = dir_ / ("drive" + std::to_string(drive) + ".nmea");
    platform::testing::WriteFile(log, RandomDrive(GetParam(), random));
    const std::string windowed = Replay(log.string(), false);
    EXPECT_EQ(windowed, Replay(log.string(), true)) << "drive " << drive;
    for (size_t at = 0; (at = windowed.find("\"event\":\"announce\"", at)) != std::string::npos; ++at) ++announcements;
  }
  // Dense enough that the comparison is about something.
  EXPECT_GT(announcements, 10);
}

INSTANTIATE_TEST_SUITE_P(Latitudes, ReplayCheck,
                         ::testing::Values(Region{"Equator", 10.0, 0.0}, Region{"Latitude45", 7.0, 45.0},
                                           Region{"Latitude60", 25.0, 60.0}, Region{"South35", 18.5, -35.0},
                                           Region{"DateLine", 179.95, -17.0}),
                         [](const ::testing::TestParamInfo<Region>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace warner
