#include "warner/records/position_records.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/temp_folder.h"
#include "warner/core/worker/gps_worker.h"

namespace warner {
namespace {

using ::testing::HasSubstr;

// Keeps every play request; the key sound's file need not exist for the request to be made.
class PlayRequests final : public platform::SoundPlayer {
 public:
  bool Play(const std::string& linuxPath) override {
    paths.push_back(linuxPath);
    return true;
  }
  void Stop() override {}
  std::vector<std::string> paths;
};

TEST(TapAppendsRecord, OnlyShortTapsOnWindowsWithoutTapsOfTheirOwn) {
  const struct {
    const char* code;
    uint32_t ms;
    bool appends;
  } cases[] = {{"SPED", 0, true},   {"TIME", 999, true}, {"SPED", 1000, false}, {"PSNT", 10, false},
               {"TMCS", 10, false}, {"ANNO", 10, false}, {"ANDI", 10, false},   {"anno", 10, true}};
  for (const auto& c : cases) EXPECT_EQ(TapAppendsRecord(c.code, c.ms), c.appends) << c.code << " " << c.ms;
}

class RecordFile : public ::testing::Test {
 protected:
  RecordFile() {
    SetDefaultSettings(settings_, ProgramMode::kSentry, folder_.Path().string());
    settings_.ascWriteDirPath = folder_.Path().string() + "/";
    fix_.longitude = 8.12345;
    fix_.latitude = 50.54321;
    fix_.hour = 12;
    fix_.satellites = 5;
    utc_.year = 2026;
    utc_.month = 12;
    utc_.day = 8;
  }

  int Append() { return AppendPositionRecord(fix_, utc_, {settings_, player_, reporter_, "/opt/waypost"}); }
  std::string Records() const { return platform::testing::ReadFile(folder_ / "SntRec.ASC"); }

  const platform::testing::TempFolder folder_{"records"};
  WarnerSettings settings_;
  gps::GpsFix fix_;
  platform::SystemTime utc_;
  PlayRequests player_;
  platform::ScriptedReporter reporter_;
};

TEST_F(RecordFile, TwoTapsAppendTwoLinesAndTheCurrentPositionStaysOneLine) {
  const std::string first = PositionRecordLine(fix_, "waypost", utc_);
  ASSERT_EQ(first, "8.12345, 50.54321, \"waypost SD08.12.26 12:00:00.000   0.0km/h   0.0\xB0 0.0m  5#S 0.0~\"\r\n");
  ASSERT_EQ(Append(), 0);
  fix_.longitude = -3.5;
  fix_.month = 7;
  const std::string second = PositionRecordLine(fix_, "waypost", utc_);
  ASSERT_EQ(Append(), 0);
  EXPECT_EQ(Records(), first + second);
  EXPECT_EQ(player_.paths.size(), 2u);  // the key sound, once per record
  EXPECT_TRUE(reporter_.Records().empty());

  const std::string actPos = folder_.File("SntActPos.ASC");
  ASSERT_EQ(WriteCurrentPosition(actPos, fix_, "waypost", utc_), 0);
  ASSERT_EQ(WriteCurrentPosition(actPos, fix_, "waypost", utc_), 0);
  EXPECT_EQ(platform::testing::ReadFile(actPos), second);
}

TEST_F(RecordFile, AFailedWriteIsReportedWithoutSoundAndKeepsTheFile) {
  const struct {
    const char* what;
    std::string folder;  // ASCWriteDirPath
    bool deviceFull;     // the record file is /dev/full: every write fails as on a full disk
    const char* error;
  } cases[] = {
      {"vanished folder", folder_.File("gone") + "/", false, "Error No 2: "},
      {"full disk", folder_.Path().string() + "/", true, "Error No 112: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    settings_.ascWriteDirPath = c.folder;
    if (c.deviceFull) {
      ASSERT_EQ(::symlink("/dev/full", folder_.File("SntRec.ASC").c_str()), 0);
    }
    platform::ScriptedReporter reporter;
    EXPECT_EQ(AppendPositionRecord(fix_, utc_, {settings_, player_, reporter, "waypost"}), -1);
    ASSERT_EQ(reporter.Records().size(), 1u);
    EXPECT_THAT(reporter.Records()[0].text, HasSubstr("Can't write to file '" + c.folder + "SntRec.ASC'.\n"));
    EXPECT_THAT(reporter.Records()[0].text, HasSubstr(c.error));
    EXPECT_TRUE(player_.paths.empty());
  }
}

TEST_F(RecordFile, ALineCutShortIsTakenBack) {
  platform::testing::WriteFile(folder_ / "SntRec.ASC", "old\r\n");
  // The file may grow by 20 bytes only: the line is cut as on a disk that fills up.
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
  const rlimit full{25, limit.rlim_max};
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
  const int result = Append();
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(Records(), "old\r\n");
  EXPECT_TRUE(player_.paths.empty());
}

TEST_F(RecordFile, RoverModeHasItsOwnFile) {
  settings_.mode = ProgramMode::kRover;
  ASSERT_EQ(Append(), 0);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "RvrRec.ASC"));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "SntRec.ASC"));
}

}  // namespace
}  // namespace warner
