#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/testing/files.h"
#include "platform/testing/temp_folder.h"
#include "warner/core/worker/gps_worker.h"

namespace warner {
namespace {

gps::GpsFix SampleFix() {
  gps::GpsFix fix;
  fix.longitude = 8.123454;
  fix.latitude = 50.543206;
  fix.day = 1;
  fix.month = 6;
  fix.year = 24;
  fix.hour = 8;
  fix.minute = 5;
  fix.second = 9;
  fix.millisecond = 7;
  fix.speedKmh = 87.26;
  fix.course = 5.04;
  fix.altitude = 312.06;
  fix.satellites = 7;
  fix.hdop = 1.26;
  return fix;
}

platform::SystemTime Utc(uint16_t year, uint16_t month, uint16_t day) {
  platform::SystemTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = 23;
  return t;
}

TEST(PositionRecordLine, GpsDateLineByteForByte) {
  const std::string line = PositionRecordLine(SampleFix(), "Waypost", Utc(2026, 12, 7));
  EXPECT_EQ(line, "8.12345, 50.54321, \"Waypost GD01.06.24 08:05:09.007  87.3km/h   5.0\xB0 312.1m  7#S 1.3~\"\r\n");
  // One byte for the degree sign, not a UTF-8 pair.
  EXPECT_EQ(line.find('\xC2'), std::string::npos);
}

TEST(PositionRecordLine, WithoutGpsMonthTheSystemDateIsUsed) {
  gps::GpsFix fix = SampleFix();
  fix.month = 0;
  fix.day = 0;
  fix.year = 0;
  EXPECT_EQ(PositionRecordLine(fix, "Waypost", Utc(2026, 12, 7)),
            "8.12345, 50.54321, \"Waypost SD07.12.26 08:05:09.007  87.3km/h   5.0\xB0 312.1m  7#S 1.3~\"\r\n");
  // A clock outside 2000..2099 still gives two digits.
  EXPECT_NE(PositionRecordLine(fix, "Waypost", Utc(2105, 1, 2)).find("SD02.01.05 "), std::string::npos);
}

TEST(PositionRecordLine, SouthWestAndProgramPathLeaveOnlyTheName) {
  gps::GpsFix fix = SampleFix();
  fix.longitude = -0.000004;
  fix.latitude = -33.91234;
  fix.course = 359.96;
  fix.satellites = 12;
  const std::string line = PositionRecordLine(fix, "/opt/dw/bin/Waypost.exe", Utc(2026, 1, 1));
  EXPECT_EQ(line, "-0.00000, -33.91234, \"Waypost GD01.06.24 08:05:09.007  87.3km/h 360.0\xB0 312.1m 12#S 1.3~\"\r\n");
  EXPECT_EQ(PositionRecordLine(fix, "\\Program Files\\Waypost\\Waypost.exe", Utc(2026, 1, 1)), line);
}

class CurrentPositionFile : public testing::Test {
 protected:
  const platform::testing::TempFolder folder_{"worker_actpos"};
};

TEST_F(CurrentPositionFile, IsRewrittenNotAppended) {
  const std::string path = (folder_ / "SntActPos.ASC").string();
  gps::GpsFix fix = SampleFix();
  ASSERT_EQ(WriteCurrentPosition(path, fix, "Waypost", Utc(2026, 1, 1)), 0);
  fix.longitude = 9.5;
  fix.speedKmh = 3;
  ASSERT_EQ(WriteCurrentPosition(path, fix, "Waypost", Utc(2026, 1, 1)), 0);
  EXPECT_EQ(platform::testing::ReadFile(path), PositionRecordLine(fix, "Waypost", Utc(2026, 1, 1)));
}

TEST_F(CurrentPositionFile, UnopenablePathFails) {
  EXPECT_EQ(
      WriteCurrentPosition((folder_ / "missing" / "SntActPos.ASC").string(), SampleFix(), "Waypost", Utc(2026, 1, 1)),
      -1);
  EXPECT_EQ(WriteCurrentPosition(folder_.Path().string(), SampleFix(), "Waypost", Utc(2026, 1, 1)), -1);
}

TEST_F(CurrentPositionFile, FullDeviceIsAFailure) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EXPECT_EQ(WriteCurrentPosition("/dev/full", SampleFix(), "Waypost", Utc(2026, 1, 1)), -1);
}

}  // namespace
}  // namespace warner
