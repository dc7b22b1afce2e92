#include "warner/serial/alternate_source.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/errors/errors.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/system_root.h"

namespace serial {
namespace {

namespace fs = std::filesystem;

TEST(AlternateText, EveryKeyIsRead) {
  const AlternateFields f = ParseAlternateText(
      "nsat = 7\r\nx = -8.5\r\ny = 50.25\r\ncourse = 90\r\nspeed = 87.5\r\nntmcm = 12\r\nstation =   SWR3 Radio\r\n");
  EXPECT_TRUE(f.satellitesGiven);
  EXPECT_EQ(f.satellites, 7);
  EXPECT_DOUBLE_EQ(f.longitude, -8.5);
  EXPECT_DOUBLE_EQ(f.latitude, 50.25);
  EXPECT_DOUBLE_EQ(f.course, 270.0);
  EXPECT_DOUBLE_EQ(f.speed, 87.5);
  EXPECT_EQ(f.messageCount, 12);
  EXPECT_EQ(f.station, "SWR3 Radio");
}

TEST(AlternateText, CourseIsCountedTheOtherWayRound) {
  EXPECT_DOUBLE_EQ(ParseAlternateText("course = 0").course, 360.0);
  EXPECT_DOUBLE_EQ(ParseAlternateText("course = 360").course, 0.0);
  EXPECT_DOUBLE_EQ(ParseAlternateText("course = 400").course, 320.0);
  EXPECT_DOUBLE_EQ(ParseAlternateText("course = -30").course, 390.0) << "only a negative result is lifted";
}

TEST(AlternateText, MissingKeysAndTheEndOfTheText) {
  const AlternateFields none = ParseAlternateText("x = 1\ny = 2\n");
  EXPECT_FALSE(none.satellitesGiven);
  EXPECT_EQ(none.satellites, -1);
  EXPECT_EQ(none.messageCount, 0);
  EXPECT_EQ(none.station, "");
  // The other program ends its text with a NUL; what follows is old.
  EXPECT_FALSE(ParseAlternateText(std::string("x = 1\0nsat = 5", 14)).satellitesGiven);
  // A key without a number reads as 0.
  EXPECT_EQ(ParseAlternateText("nsat = many").satellites, 0);
}

TEST(AlternateText, StationStopsAtLineEndsAndAfter42Characters) {
  EXPECT_EQ(ParseAlternateText("station = A\rB").station, "A");
  EXPECT_EQ(ParseAlternateText("station = A\nB").station, "A");
  EXPECT_EQ(ParseAlternateText(std::string("station = A\0B", 13)).station, "A");
  EXPECT_EQ(ParseAlternateText("station = " + std::string(50, 'S')).station, std::string(42, 'S'));
  EXPECT_EQ(ParseAlternateText("station =    ").station, "");
  EXPECT_EQ(ParseAlternateText("station = \tTab").station, "\tTab") << "only blanks are skipped";
}

class AlternateFile : public platform::testing::SystemRootTest {
 protected:
  // Writes the text with a last-write time of `epochMs`.
  void WriteFile(const std::string& text, int64_t epochMs) {
    platform::testing::WriteFile(path_, text);
    const timespec times[2] = {{0, UTIME_OMIT}, {epochMs / 1000, (epochMs % 1000) * 1000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path_.c_str(), times, 0), 0);
  }

  static constexpr int64_t kWritten = 1700000000250;  // 2023-11-14 22:13:20.250 UTC
  static constexpr const char* kText =
      "nsat = 6\r\nx = -8.5\r\ny = 50.25\r\ncourse = 90\r\nspeed = 87.5\r\n"
      "ntmcm = 3\r\nstation = Radio \xC4\r\n";

  const fs::path dir_{system_.Folder()};
  const std::string path_{(dir_ / "alter.txt").string()};
  platform::ScriptedReporter reporter_;
  platform::ManualClock clock_{0, kWritten + 500};
  platform::CriticalSection lock_;
  gps::NmeaDecoder decoder_{lock_};
};

TEST_F(AlternateFile, AsPositionSourceItFillsTheFixFromEachNewText) {
  WriteFile(kText, kWritten);
  AlternateSource source(path_, 1, reporter_, clock_);
  ASSERT_EQ(source.Start(), 0u);
  EXPECT_TRUE(source.IsPositionSource());
  size_t count = 0;
  ASSERT_EQ(source.ReadAlternateFile(false, &count), 0u);
  EXPECT_EQ(count, std::string(kText).size());
  EXPECT_TRUE(fs::exists(dir_ / "root" / "Windows" / "SntAlter.txt")) << "read from the local copy";

  EXPECT_EQ(source.DecodeAlternateText(decoder_, nullptr), 0);
  const gps::GpsFix fix = decoder_.Snapshot();
  EXPECT_EQ(fix.satellites, 6);
  EXPECT_EQ(fix.fixQuality, 1);
  EXPECT_DOUBLE_EQ(fix.longitude, -8.5);
  EXPECT_EQ(fix.lonHemisphere, u'W');
  EXPECT_EQ(fix.lonDegrees, -8);
  EXPECT_EQ(fix.lonMinutes, 30);
  EXPECT_DOUBLE_EQ(fix.latitude, 50.25);
  EXPECT_EQ(fix.latHemisphere, u'N');
  EXPECT_EQ(fix.latMinutes, 15);
  EXPECT_DOUBLE_EQ(fix.course, 270.0);
  EXPECT_DOUBLE_EQ(fix.speedKmh, 87.5);
  EXPECT_EQ(fix.hour, 22);
  EXPECT_EQ(fix.minute, 13);
  EXPECT_EQ(fix.second, 20);
  EXPECT_EQ(fix.millisecond, 250);
  EXPECT_EQ(fix.timeOfDayMs, ((22 * 60 + 13) * 60 + 20) * 1000 + 250);
  EXPECT_EQ(fix.validMask & gps::kValidFixComplete, gps::kValidFixComplete);
  EXPECT_EQ(source.Radio(), (RadioValues{3, "Radio \xC3\x84"}));

  // The same text again is no news: nothing to decode, and after 2 s the source is not ready.
  ASSERT_EQ(source.ReadAlternateFile(false, &count), 0u);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(source.DecodeAlternateText(decoder_, nullptr), -1);
  clock_.Advance(1500);  // 2000 ms after the write
  EXPECT_EQ(source.ReadAlternateFile(false, &count), 0u);
  clock_.Advance(1);
  EXPECT_EQ(source.ReadAlternateFile(false, &count), platform::kErrorNotReady);
  EXPECT_EQ(platform::GetLastError(), platform::kErrorNotReady);

  WriteFile("nsat = 2\r\nx = 1\r\ny = 2\r\n", kWritten + 3000);
  ASSERT_EQ(source.ReadAlternateFile(false, &count), 0u);
  EXPECT_GT(count, 0u);
  EXPECT_EQ(source.DecodeAlternateText(decoder_, nullptr), -3) << "two satellites are no fix";
  EXPECT_EQ(decoder_.Snapshot().fixQuality, 0);
  EXPECT_EQ(decoder_.Snapshot().validMask & gps::kValidFixComplete, 0u);
  EXPECT_EQ(decoder_.Snapshot().badSentenceCount, 1);
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(AlternateFile, TextsWithoutSatellitesAreNoFix) {
  WriteFile("x = 1\r\ny = 2\r\n", kWritten);
  AlternateSource source(path_, 1, reporter_, clock_);
  ASSERT_EQ(source.Start(), 0u);
  size_t count = 99;
  // Still being written by the other program: no text to decode.
  ASSERT_EQ(source.ReadAlternateFile(false, &count), 0u);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(source.DecodeAlternateText(decoder_, nullptr), -1);

  WriteFile("nsat = -1\r\nntmcm = 4\r\n", kWritten + 100);
  ASSERT_EQ(source.ReadAlternateFile(false, &count), 0u);
  EXPECT_EQ(source.DecodeAlternateText(decoder_, nullptr), 1);
  EXPECT_EQ(decoder_.Snapshot().badSentenceCount, 1);
  EXPECT_EQ(source.Radio(), RadioValues{}) << "a failed pass leaves the radio values cleared";
}

TEST_F(AlternateFile, TheGpsLogReceivesEachPositionText) {
  WriteFile(kText, kWritten);
  gps::GpsLogSink log;
  ASSERT_TRUE(log.SetPath((dir_ / "log.txt").string()));
  ASSERT_TRUE(log.GpsLogOpen());
  AlternateSource source(path_, 1, reporter_, clock_);
  ASSERT_EQ(source.Start(), 0u);
  size_t count = 0;
  ASSERT_EQ(source.ReadAlternateFile(false, &count), 0u);
  EXPECT_EQ(source.DecodeAlternateText(decoder_, &log), 0);
  log.GpsLogClose();
  EXPECT_EQ(platform::testing::ReadFile(dir_ / "log.txt"), kText);
}

TEST_F(AlternateFile, AsRadioSourceOnlyTheRadioValuesChange) {
  WriteFile(kText, kWritten);
  AlternateSource source(path_, -1, reporter_, clock_);
  ASSERT_EQ(source.Start(), 0u);
  EXPECT_FALSE(source.IsPositionSource());
  size_t count = 0;
  ASSERT_EQ(source.ReadAlternateFile(false, &count), 0u);
  EXPECT_EQ(source.DecodeAlternateText(decoder_, nullptr), 0);
  EXPECT_EQ(source.Radio().messageCount, 3);
  EXPECT_EQ(decoder_.Snapshot(), gps::GpsFix{}) << "the position comes from NMEA";
  // The same file time is read again: only the position source cares about news.
  ASSERT_EQ(source.ReadAlternateFile(false, &count), 0u);
  EXPECT_GT(count, 0u);

  WriteFile("ntmcm = 9\r\n", kWritten);
  ASSERT_EQ(source.ReadAlternateFile(false, &count), 0u);
  EXPECT_EQ(source.DecodeAlternateText(decoder_, nullptr), 1);
  EXPECT_EQ(source.Radio(), RadioValues{});

  // A missing file is waited for without a word.
  fs::remove(path_);
  EXPECT_EQ(source.ReadAlternateFile(false, &count), 0u);
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(AlternateFile, AMissingFileIsTriedFiveTimesThen8255) {
  AlternateSource source(path_, 1, reporter_, clock_, 20);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(source.Start(), platform::kErrorBufferNotSet);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(80)) << "four waits between five attempts";
  EXPECT_FALSE(source.IsPositionSource());
  ASSERT_EQ(reporter_.Records().size(), 1u);
  EXPECT_EQ(reporter_.Records()[0].text,
            "Can't find alternate file '" + path_ + "'\nError No 2: The system cannot find the file specified.");
}

TEST_F(AlternateFile, AWriteProtectedFileStopsTheSourceWith55) {
  WriteFile(kText, kWritten);
  ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
  AlternateSource source(path_, -1, reporter_, clock_);
  EXPECT_EQ(source.Start(), platform::kErrorDevNotExist);
  ASSERT_EQ(reporter_.Records().size(), 1u);
  EXPECT_EQ(reporter_.Records()[0].text,
            "The alternate file '" + path_ + "' is write protected\nNo periodic data update possible.");
}

TEST_F(AlternateFile, NothingHappensWithoutTypeOrFile) {
  AlternateSource none(path_, 0, reporter_, clock_);
  EXPECT_FALSE(none.Configured());
  EXPECT_EQ(none.Start(), 0u);
  EXPECT_EQ(none.DecodeAlternateText(decoder_, nullptr), -1);
  AlternateSource unnamed("", 1, reporter_, clock_);
  EXPECT_EQ(unnamed.Start(), 0u);
  EXPECT_FALSE(unnamed.IsPositionSource());
  EXPECT_TRUE(reporter_.Records().empty());
}

}  // namespace
}  // namespace serial
