#include "warner/gps/gps_log.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/errors/errors.h"
#include "warner/gps/nmea_decoder.h"
#include "warner/gps/tests/nmea_test_util.h"

namespace gps {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class GpsLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("gps_log_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the stream through a decoder that logs into a fresh file; returns the file's bytes.
  std::string LogThroughDecoder(int writeMergedLog, const std::string& stream) {
    GpsLogSink log;
    const fs::path file = dir_ / "track.txt";
    EXPECT_TRUE(log.SetPath(file.string()));
    EXPECT_TRUE(log.GpsLogOpen());
    platform::CriticalSection lock;
    NmeaDecoder decoder(lock, &log);
    decoder.SetSettings({writeMergedLog, 1});
    decoder.ResetGpsFix();
    for (size_t at = 0; at < stream.size();) {
      at += decoder.FeedInput({reinterpret_cast<const uint8_t*>(stream.data()) + at, stream.size() - at});
      while (decoder.NextSentence() != kFrameInputUsedUp) {
      }
    }
    log.GpsLogClose();
    return ReadFile(file);
  }

  fs::path dir_;
};

TEST_F(GpsLogTest, WholeSentencesAsReceivedOrEveryRawByte) {
  const std::string& rmc = testing::kRmc;
  const std::string high = std::string("$GP\xC1,1\n");
  const std::string stream = "junk" + rmc + "?123456789" + high;
  EXPECT_EQ(LogThroughDecoder(0, stream), rmc + high);  // bit 7 still set in the log
  EXPECT_EQ(LogThroughDecoder(1, stream), stream);
}

TEST_F(GpsLogTest, WritesOnlyWhileOpenAndCloseClearsThePath) {
  GpsLogSink log;
  const uint8_t byte = 'x';
  EXPECT_EQ(log.GpsLogWrite(&byte, 1), 0);
  ASSERT_TRUE(log.SetPath((dir_ / "a.txt").string()));
  ASSERT_TRUE(log.GpsLogOpen());
  EXPECT_EQ(log.GpsLogWrite(&byte, 0), 0);
  EXPECT_EQ(log.GpsLogWrite(&byte, 1), 1);
  // Opening again truncates and does not leak the first stream.
  ASSERT_TRUE(log.GpsLogOpen());
  log.GpsLogClose();
  EXPECT_EQ(ReadFile(dir_ / "a.txt"), "");
  EXPECT_EQ(log.Path(), "");
  EXPECT_FALSE(log.IsOpen());
  EXPECT_EQ(log.GpsLogWrite(&byte, 1), 0);
}

TEST_F(GpsLogTest, FailuresAreReportedNotFatal) {
  GpsLogSink log;
  EXPECT_FALSE(log.SetPath(std::string(GpsLogSink::kPathMax + 1, 'a')));
  ASSERT_TRUE(log.SetPath((dir_ / "missing" / "folder" / "log.txt").string()));
  EXPECT_FALSE(log.GpsLogOpen());
  EXPECT_EQ(platform::GetLastError(), platform::kErrorFileNotFound);
  EXPECT_FALSE(log.IsOpen());
}

}  // namespace
}  // namespace gps
