#include "warner/traffic/rds/traffic_decoder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/errors/errors.h"
#include "platform/testing/system_root.h"
#include "tools/rds_groups/rds_groups.h"
#include "warner/traffic/rds/tests/rds_test_util.h"

namespace traffic {
namespace {

using namespace traffic::testing;
using ::testing::StartsWith;

class StartAndStop : public ::testing::Test {
 protected:
  StartAndStop() : traffic(reporter, clock) {
    settings.evaluateTmc = 1;
    settings.programFolder = DW_TRAFFIC_DATA_DIR;
    settings.trafficLogPath = TrafficLogPath(folder.Path().string() + "/", false);
  }

  TempFolder folder;
  platform::ScriptedReporter reporter;
  platform::ManualClock clock;
  TrafficSettings settings;
  TrafficDecoder traffic;
};

TEST_F(StartAndStop, ListsFromTheProgramFolderAndTheLogInTheAscFolder) {
  EXPECT_EQ(traffic.StartTraffic(settings), 1);
  ASSERT_NE(traffic.Decoder(), nullptr);
  EXPECT_EQ(traffic.Decoder()->State().logPath, folder.File("SntTMC.txt"));
  EXPECT_TRUE(reporter.Records().empty());
  traffic.StopTraffic();
  EXPECT_EQ(traffic.Decoder(), nullptr);
  EXPECT_EQ(TrafficLogPath(folder.Path().string() + "/", true), folder.File("RvrTMC.txt"));
}

TEST_F(StartAndStop, HandheldFoldersLieUnderTheSystemRoot) {
  const platform::testing::ScopedEnv root("DW_SYSTEM_ROOT", folder.Path().string());
  EXPECT_EQ(TrafficLogPath("\\My Documents\\", false), folder.File("My Documents/SntTMC.txt"));
  EXPECT_EQ(TrafficLogPath("", false), folder.File("SntTMC.txt"));
}

TEST_F(StartAndStop, MissingListsMeanDecodingWithoutLog) {
  settings.programFolder = folder.Path().string();
  EXPECT_EQ(traffic.StartTraffic(settings), -1);
  ASSERT_NE(traffic.Decoder(), nullptr);
  EXPECT_EQ(traffic.Decoder()->State().logPath, "");
  // The location list is not tried once the event list failed.
  const auto records = reporter.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_THAT(records[0].text, StartsWith("Can't read the Event Code List file '" + folder.File("ECL_D1.bin")));

  traffic.StopTraffic();
  EXPECT_EQ(traffic.Decoder(), nullptr);
  settings.evaluateTmc = -2;  // a TMC port without lists: nothing is opened
  EXPECT_EQ(traffic.StartTraffic(settings), -2);
  EXPECT_NE(traffic.Decoder(), nullptr);
  EXPECT_EQ(reporter.Records().size(), 1u);
}

TEST_F(StartAndStop, NothingWithoutTheSetting) {
  settings.evaluateTmc = 0;
  EXPECT_EQ(traffic.StartTraffic(settings), 0);
  EXPECT_EQ(traffic.Decoder(), nullptr);
}

TEST_F(StartAndStop, ALogPathTooLongForItsBufferIsReported) {
  settings.trafficLogPath = TrafficLogPath("/" + std::string(kLogPathMax, 'x') + "/", false);
  traffic.StartTraffic(settings);
  EXPECT_EQ(traffic.Decoder()->State().logPath, "");
  ASSERT_EQ(reporter.Records().size(), 1u);
  EXPECT_THAT(reporter.Records()[0].text, StartsWith("Can't append a new message to /xxx"));
}

// A TMC source that delivers its bytes in the chunk sizes given, then nothing.
struct ChunkedSource {
  uint32_t operator()(uint8_t* buffer, size_t capacity, size_t* count) {
    const size_t size = std::min({chunks.empty() ? 0 : chunks.front(), capacity, bytes.size() - at});
    if (!chunks.empty()) chunks.erase(chunks.begin());
    std::memcpy(buffer, bytes.data() + at, size);
    at += size;
    *count = size;
    return 0;
  }

  std::string bytes;
  std::vector<size_t> chunks;
  size_t at = 0;
};

TEST(ReadTmcPort, RecordsSpanReadsAndJunkIsSkipped) {
  TempFolder folder;
  platform::ScriptedReporter reporter;
  platform::ManualClock clock;
  gps::GpsLogSink gpsLog;
  ASSERT_TRUE(gpsLog.SetPath(folder.File("gps.log")));
  ASSERT_TRUE(gpsLog.GpsLogOpen());
  TrafficDecoder traffic(reporter, clock, &gpsLog);
  TrafficSettings settings;
  settings.evaluateTmc = -2;
  settings.writeMergedLog = 1;
  traffic.StartTraffic(settings);

  std::vector<rds_groups::Group> groups;
  std::string error;
  ASSERT_TRUE(rds_groups::ParseGroups(rds_groups::MakeGroupFile({0xD301, "PORT FM", 1, {}}), groups, error));
  ChunkedSource source{rds_groups::PortStream(rds_groups::TmcRecords(groups), 7), {15, 3, 256, 256}};
  EXPECT_EQ(traffic.ReadTmcPort(std::ref(source)), 0);  // junk and the start of the first record
  EXPECT_EQ(traffic.ReadTmcPort(std::ref(source)), 1);  // its last byte and junk
  EXPECT_EQ(traffic.ReadTmcPort(std::ref(source)), 9);
  EXPECT_EQ(traffic.ReadTmcPort(std::ref(source)), 0);
  EXPECT_EQ(traffic.Decoder()->Status().Snapshot().stationName, "PORT FM ");
  EXPECT_EQ(traffic.Decoder()->State().aid, kTmcAid);
  gpsLog.GpsLogClose();
  std::string expected;
  for (const auto& record : rds_groups::TmcRecords(groups)) expected.append(record.begin(), record.end());
  EXPECT_EQ(ReadFile(folder.File("gps.log")), expected);

  const auto failing = [](uint8_t*, size_t, size_t*) -> uint32_t { return platform::kErrorNotReady; };
  EXPECT_EQ(traffic.ReadTmcPort(failing), -1);
  EXPECT_EQ(platform::GetLastError(), platform::kErrorNotReady);
}

}  // namespace
}  // namespace traffic
