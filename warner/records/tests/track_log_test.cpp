#include "warner/records/track_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/errors/errors.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/system_root.h"
#include "tools/rds_groups/rds_groups.h"
#include "warner/headless/tests/sample_warner.h"
#include "warner/records/position_records.h"
#include "warner/session/warner_session.h"

namespace warner {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

platform::SystemTime LocalAt(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute) {
  platform::SystemTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  return t;
}

class TrackLogTest : public platform::testing::SystemRootTest {
 protected:
  // Toggles with a dialog that answers `answer` (nothing: cancelled) and notes what it was shown.
  bool Toggle(std::optional<std::string> answer) {
    return log_.ToggleTrackLog(LocalAt(2026, 12, 8, 9, 5), [&](const std::string& proposed) {
      proposed_.push_back(proposed);
      return answer;
    });
  }

  const fs::path dir_{system_.Folder()};
  gps::GpsLogSink sink_;
  platform::ScriptedReporter reporter_;
  std::vector<bool> pauses_;
  std::vector<std::string> proposed_;
  TrackLog log_{sink_, reporter_, [this](bool paused) { pauses_.push_back(paused); }};
};

TEST_F(TrackLogTest, ButtonOpensAChosenFileAndClosesIt) {
  EXPECT_FALSE(Toggle(std::nullopt));  // cancelled
  EXPECT_STREQ(log_.ButtonText(), "Write\rLog");
  EXPECT_EQ(log_.ButtonColour(), std::nullopt);

  const std::string path = (dir_ / "drive.txt").string();
  EXPECT_TRUE(Toggle(path));
  EXPECT_STREQ(log_.ButtonText(), "Stop\rLog");
  EXPECT_EQ(log_.ButtonColour(), 0x00FF00u);
  EXPECT_EQ(log_.Path(), path);
  EXPECT_TRUE(fs::exists(path));

  EXPECT_FALSE(Toggle(path));  // the second press only closes
  EXPECT_STREQ(log_.ButtonText(), "Write\rLog");
  EXPECT_EQ(proposed_, std::vector<std::string>(2, "\\My Documents\\GPSLogs\\L261208_0905"));
  EXPECT_EQ(pauses_, (std::vector<bool>{true, false, true, false}));
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(TrackLogTest, AFileThatCannotBeCreatedIsReportedAndForgotten) {
  const struct {
    std::string path;
    const char* error;
  } cases[] = {{(dir_ / "gone" / "drive.txt").string(), "Error No 2: "},
               {(dir_ / std::string(300, 'x')).string(), "Error No 206: "}};
  for (const auto& c : cases) {
    platform::ScriptedReporter reporter;
    TrackLog log(sink_, reporter);
    EXPECT_FALSE(log.ToggleTrackLog(LocalAt(2026, 1, 2, 3, 4), [&](const std::string&) { return c.path; }));
    EXPECT_STREQ(log.ButtonText(), "Write\rLog");
    EXPECT_EQ(log.Path(), "");
    ASSERT_EQ(reporter.Records().size(), 1u);
    EXPECT_THAT(reporter.Records()[0].text, HasSubstr("Can't open the file '" + c.path + "'\n"));
    EXPECT_THAT(reporter.Records()[0].text, HasSubstr(c.error));
  }
}

// The announcements of a replay, by POI.
struct Announcements final : SessionObserver {
  void Announced(const PoiAnnouncement& a) override { pois.push_back(a.poiIndex); }
  std::vector<int32_t> pois;
};

class RecordedDrive : public TrackLogTest {
 protected:
  void SetUp() override { test::CopySampleWarner(dir_ / "folder"); }

  // Replays `log` in a session of the sample folder, recording a track log into `trackLog` when given.
  std::vector<int32_t> Replay(const std::string& log, const std::string& trackLog = {}) {
    WarnerSession session({(dir_ / "folder").string(), false}, reporter_, [](uint32_t) {});
    Announcements heard;
    session.SetObserver(&heard);
    EXPECT_TRUE(session.ActivateDatabase());
    TrackLog track(session.GpsLog(), reporter_);
    const auto choose = [&](const std::string&) { return trackLog; };
    if (!trackLog.empty()) {
      EXPECT_TRUE(track.ToggleTrackLog(LocalAt(2026, 6, 15, 7, 30), choose));
    }
    EXPECT_EQ(session.ReplayLog(log, false).code, platform::kErrorHandleEof);
    if (!trackLog.empty()) {
      // A tap after the drive records the last fix, taken whole from the decoder.
      EXPECT_EQ(AppendPositionRecord(session.Decoder(), {session.Settings(), session.Player(), reporter_, "waypost"}),
                0);
      EXPECT_FALSE(track.ToggleTrackLog(LocalAt(2026, 6, 15, 7, 30), choose));
    }
    return heard.pois;
  }

  const platform::testing::ScopedEnv sound_{"DW_SOUND", "null"};

  // Records a track log of `drive`: it holds what was received and replays to the same warnings.
  void ExpectReplayableTrackLog(const std::string& drive) {
    const std::string track = (dir_ / "track.txt").string();
    const std::vector<int32_t> heard = Replay(drive, track);
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(platform::testing::ReadFile(track), platform::testing::ReadFile(drive));
    EXPECT_EQ(Replay(track), heard);
    EXPECT_TRUE(reporter_.Records().empty());
  }
};

TEST_F(RecordedDrive, TheTrackLogHoldsTheSentencesAndReplaysToTheSameAnnouncements) {
  ExpectReplayableTrackLog(std::string(SAMPLE_DATA_DIR) + "/drive.nmea");
}

TEST_F(RecordedDrive, AMergedTrackLogAlsoHoldsTheTrafficRecords) {
  std::ofstream(dir_ / "folder" / "SntGlobals.ini", std::ios::app) << "WriteMergedLog = 1\n";
  const rds_groups::StationPlan station{0xD301, "RADIO 7", 1, {{101, 12003, 0, 0}, {401, 12005, 2, 1}}};
  std::vector<rds_groups::Group> groups;
  std::string error;
  ASSERT_TRUE(rds_groups::ParseGroups(rds_groups::MakeGroupFile(station), groups, error)) << error;
  const std::string merged =
      rds_groups::MergeRecords(platform::testing::ReadFile(fs::path(SAMPLE_DATA_DIR) / "drive.nmea"),
                               rds_groups::TmcRecords(groups), {rds_groups::MergeMode::kInsideSentences, 3});
  platform::testing::WriteFile(dir_ / "merged.nmea", merged);
  ExpectReplayableTrackLog((dir_ / "merged.nmea").string());
}

}  // namespace
}  // namespace warner
