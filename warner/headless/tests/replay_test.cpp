// The headless warner end to end: the sample database and the sample drive through settings,
// worker, engine and sounds, checked event by event against what the database and the drive say.

#include "warner/headless/replay.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/reports/scripted_reporter.h"
#include "warner/core/database/poi_database.h"
#include "warner/headless/tests/replay_fixture.h"

namespace warner {
namespace {

TEST_F(Replay, TheSampleDriveWarnsOfThePoisAlongItsWay) {
  std::vector<Event> events;
  ASSERT_EQ(Run(std::string(SAMPLE_DATA_DIR) + "/drive.nmea", &events), kReplayDone);

  // What the database itself says about each POI, to check every announcement against.
  PoiDatabase database(reporter_, {(dir_ / "folder").string() + "/", "Sentry.snt"});
  ASSERT_EQ(database.ActivatePoiDatabase(1), 0);

  const std::vector<Event> announcements = Only(events, "announce");
  std::set<int> announced;
  for (const Event& a : announcements) {
    const int poi = std::atoi(a.Field("poi").c_str());
    ASSERT_GE(poi, 0);
    ASSERT_LT(poi, database.RecordCount());
    EXPECT_TRUE(announced.insert(poi).second) << "announced twice: " << a.line;
    const PoiRecord record = database.Record(poi);
    EXPECT_NEAR(a.Number("lon"), record.longitude / 1e5, 1e-9);
    EXPECT_NEAR(a.Number("lat"), record.latitude / 1e5, 1e-9);
    // The sample's distances: 400 m, 300 m, 15 s (at most 150 km/h: 675 m), 300 m, 0.1 mi.
    EXPECT_GT(a.Number("distance"), 0) << "a warning is for a POI ahead: " << a.line;
    EXPECT_LE(a.Number("distance"), 700) << a.line;
    EXPECT_EQ(a.Field("text"), AnnouncementText(database.CategoryText(poi))) << a.line;
    EXPECT_NE(a.Field("sound").find("/Sounds/"), std::string::npos) << a.line;
    EXPECT_NE(a.Field("bitmap"), "") << a.line;
  }
  // The drive passes 14 POIs in their direction; the one-way cameras of the other direction stay
  // silent.
  EXPECT_GE(announcements.size(), 10u);
  EXPECT_LE(announcements.size(), 20u);

  EXPECT_FALSE(Only(events, "speedAlarm").empty()) << "the drive goes 150 km/h with a limit of 130";
  EXPECT_FALSE(Only(events, "satLost").empty()) << "the drive has a dropout and seconds without a fix";
  EXPECT_GE(Only(events, "satFix").size(), 2u);
  EXPECT_EQ(events.back().Field("event"), "end");
  EXPECT_EQ(events.back().Field("code"), "38");
}

TEST_F(Replay, WithoutADatabaseNothingIsReplayed) {
  fs::remove(dir_ / "folder" / "Sentry.snt");
  EXPECT_EQ(Run(std::string(SAMPLE_DATA_DIR) + "/drive.nmea"), kReplayNoDatabase);
  const auto records = reporter_.Records();
  ASSERT_FALSE(records.empty());
  EXPECT_NE(records.back().text.find("is not available. Acoustical and visual warnings will not be available."),
            std::string::npos);
}

TEST_F(Replay, AnUnreadableLogIsReported) {
  EXPECT_EQ(Run((dir_ / "missing.nmea").string()), kReplayLogUnreadable);
  const auto records = reporter_.Records();
  ASSERT_FALSE(records.empty());
  EXPECT_NE(records.back().text.find("Can't open the GPS log"), std::string::npos);
}

}  // namespace
}  // namespace warner
