// Traffic messages in the replay: records embedded in the GPS log, or a separate TMC file beside
// it, reach the traffic log under ASCWriteDirPath, and each logged line is printed as an event.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testing/files.h"
#include "tools/rds_groups/rds_groups.h"
#include "warner/headless/tests/replay_fixture.h"

namespace warner {
namespace {

class TrafficReplay : public Replay {
 protected:
  void SetUp() override {
    Replay::SetUp();
    for (const char* list : {"ECL_D1.bin", "LCL_D1.bin"}) {
      fs::copy_file(fs::path(DW_TRAFFIC_DATA_DIR) / list, dir_ / "folder" / list);
    }
    // A station with three messages on the sample lists' motorway and country road.
    const rds_groups::StationPlan station{
        0xD301, "RADIO 7", 1, {{101, 12003, 0, 0}, {401, 12005, 2, 1}, {501, 13002, 1, 0}}};
    std::vector<rds_groups::Group> groups;
    std::string error;
    ASSERT_TRUE(rds_groups::ParseGroups(rds_groups::MakeGroupFile(station), groups, error)) << error;
    records_ = rds_groups::TmcRecords(groups);
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const fs::path path = dir_ / name;
    platform::testing::WriteFile(path, bytes);
    return path.string();
  }
  static std::string Drive() { return platform::testing::ReadFile(fs::path(SAMPLE_DATA_DIR) / "drive.nmea"); }

  // Every traffic event, as the log holds it (the sample lists are plain ASCII).
  static std::string TrafficLines(const std::vector<Event>& events) {
    std::string lines;
    for (const Event& e : Only(events, "traffic")) lines += e.Field("line") + "\r\n";
    return lines;
  }

  std::vector<rds_groups::Record> records_;
};

TEST_F(TrafficReplay, EmbeddedRecordsAreLoggedAndPrintedWithoutDisturbingTheWarnings) {
  AddGlobals("EvaluateTMC = 1\nASCWriteDirPath = " + dir_.string() + "/\n");
  const std::string merged = rds_groups::MergeRecords(Drive(), records_, {rds_groups::MergeMode::kInsideSentences, 3});
  std::vector<Event> withTraffic;
  ASSERT_EQ(Run(Write("merged.nmea", merged), &withTraffic), kReplayDone);

  const std::string log = platform::testing::ReadFile(dir_ / "SntTMC.txt");
  EXPECT_EQ(Only(withTraffic, "traffic").size(), 3u) << log;
  EXPECT_EQ(TrafficLines(withTraffic), log);
  EXPECT_NE(log.find(", RADIO 7 : "), std::string::npos) << log;
  EXPECT_NE(log.find("A99 Millbrook, Northtown - Southport : stationary traffic { L 12003, E 101"), std::string::npos)
      << log;
  EXPECT_TRUE(reporter_.Records().empty());

  std::vector<Event> plain;
  ASSERT_EQ(Run(std::string(SAMPLE_DATA_DIR) + "/drive.nmea", &plain), kReplayDone);
  const auto announcements = [](const std::vector<Event>& events) {
    std::vector<std::string> lines;
    for (const Event& e : Only(events, "announce")) lines.push_back(e.Field("poi") + "@" + e.Field("time"));
    return lines;
  };
  EXPECT_EQ(announcements(withTraffic), announcements(plain));
}

TEST_F(TrafficReplay, ASeparateTmcFileIsReadWhileTheGpsLogPlays) {
  const std::string tmc = Write("tmc.bin", rds_groups::PortStream(records_, 5));
  AddGlobals("EvaluateTMC = 2\nUseTMCPort = " + tmc + "\nASCWriteDirPath = " + dir_.string() + "/\n");
  std::vector<Event> events;
  ASSERT_EQ(Run(std::string(SAMPLE_DATA_DIR) + "/drive.nmea", &events), kReplayDone);
  EXPECT_EQ(Only(events, "traffic").size(), 3u);
  EXPECT_EQ(TrafficLines(events), platform::testing::ReadFile(dir_ / "SntTMC.txt"));
  EXPECT_FALSE(Only(events, "announce").empty());
}

// A relative --folder finds the code lists as its absolute form does, and a traffic log that
// can't be written is said once while every message is still shown.
TEST_F(TrafficReplay, RelativeFoldersAndAnUnwritableLogStillShowEveryMessage) {
  const std::string merged = Write("merged.nmea", rds_groups::MergeRecords(Drive(), records_, {}));
  AddGlobals("EvaluateTMC = 1\nASCWriteDirPath = " + dir_.string() + "/\n");
  const fs::path before = fs::current_path();
  for (const char* folder : {"folder", "./folder/", "."}) {
    fs::current_path(std::string(folder) == "." ? dir_ / "folder" : dir_);
    folder_ = folder;
    std::vector<Event> events;
    EXPECT_EQ(Run(merged, &events), kReplayDone) << folder;
    EXPECT_EQ(Only(events, "traffic").size(), 3u) << folder;
    fs::remove(dir_ / "SntTMC.txt");
  }
  fs::current_path(before);
  folder_.clear();
  EXPECT_TRUE(reporter_.Records().empty());

  AddGlobals("ASCWriteDirPath = " + dir_.string() + "/no/such/folder/\n");
  std::vector<Event> events;
  ASSERT_EQ(Run(merged, &events), kReplayDone);
  EXPECT_EQ(Only(events, "traffic").size(), 3u);
  const auto records = reporter_.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NE(records[0].text.find("Can't append a new message to"), std::string::npos);
}

TEST_F(TrafficReplay, WithoutCodeListsMessagesAreDecodedButNotLogged) {
  fs::remove(dir_ / "folder" / "LCL_D1.bin");
  AddGlobals("EvaluateTMC = 1\nASCWriteDirPath = " + dir_.string() + "/\n");
  const std::string merged = rds_groups::MergeRecords(Drive(), records_, {rds_groups::MergeMode::kEverySentences, 2});
  std::vector<Event> events;
  ASSERT_EQ(Run(Write("merged.nmea", merged), &events), kReplayDone);
  EXPECT_TRUE(Only(events, "traffic").empty());
  EXPECT_FALSE(fs::exists(dir_ / "SntTMC.txt"));
  const auto records = reporter_.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NE(records[0].text.find("Can't read the Location Code List file"), std::string::npos);
}

}  // namespace
}  // namespace warner
