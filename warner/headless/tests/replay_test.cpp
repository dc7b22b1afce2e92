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

// Only a refusal cancels the activation: a missing database that is accepted (the user said Yes,
// or LogSntFileMissing = 0 asked nobody) runs the warner without warnings.
TEST_F(Replay, AMissingDatabaseRunsTheWarnerOnlyWhenAccepted) {
  fs::remove(dir_ / "folder" / "Sentry.snt");
  const std::string drive = std::string(SAMPLE_DATA_DIR) + "/drive.nmea";
  EXPECT_EQ(Run(drive), kReplayNoDatabase);
  auto records = reporter_.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_NE(records[0].text.find("is not available. Acoustical and visual warnings will not be available."),
            std::string::npos);
  EXPECT_NE(records[1].text.find("set LogSntFileMissing = 0 in"), std::string::npos) << records[1].text;

  reporter_.QueueAnswer(true);
  std::vector<Event> accepted;
  EXPECT_EQ(Run(drive, &accepted), kReplayDone);
  EXPECT_EQ(reporter_.Records().size(), 3u);

  AddGlobals("LogSntFileMissing = 0\n");
  std::vector<Event> silent;
  EXPECT_EQ(Run(drive, &silent), kReplayDone);
  EXPECT_EQ(reporter_.Records().size(), 3u) << "nothing more said";
  for (const auto* events : {&accepted, &silent}) {
    EXPECT_TRUE(Only(*events, "announce").empty());
    EXPECT_FALSE(Only(*events, "satFix").empty());
    EXPECT_FALSE(Only(*events, "speedAlarm").empty());
  }
}

TEST_F(Replay, LogsAndOutputsThatFailAreSaidAndEndTheRunWithTheirStatus) {
  EXPECT_EQ(Run((dir_ / "missing.nmea").string()), kReplayLogUnreadable);
  EXPECT_EQ(Run(dir_.string()), kReplayLogUnreadable);
  const auto records = reporter_.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_NE(records[0].text.find("Can't open the GPS log"), std::string::npos);
  EXPECT_NE(records[1].text.find("is a folder; --replay needs a GPS log file"), std::string::npos);

  std::FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  EXPECT_EQ(Run(std::string(SAMPLE_DATA_DIR) + "/drive.nmea", nullptr, full), kReplayOutputFailed);
  std::fclose(full);
  EXPECT_EQ(reporter_.Records().back().text.rfind("The events could not be written to the output.\nError No ", 0), 0u);
}

}  // namespace
}  // namespace warner
