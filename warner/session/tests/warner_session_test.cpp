#include "warner/session/warner_session.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/errors/errors.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/system_root.h"

namespace warner {
namespace {

namespace fs = std::filesystem;

// The first seconds of the sample drive: two fixes.
constexpr const char* kLog =
    "$GPGGA,073000.000,4803.0000,N,01124.0000,E,1,08,0.9,520.0,M,0.0,M,,*67\r\n"
    "$GPRMC,073000.000,A,4803.0000,N,01124.0000,E,0.00,46.9,150626,,,A*6E\r\n";

struct Recorder final : SessionObserver {
  void SatelliteSound(bool fix, std::string_view) override { fixes.push_back(fix); }
  void StatusChanged(WorkerObserver::Status status) override { statuses.push_back(status); }
  void Ended(uint32_t code) override { ends.push_back(code); }
  std::vector<bool> fixes;
  std::vector<WorkerObserver::Status> statuses;
  std::vector<uint32_t> ends;
};

// Traffic asked for without its code lists, no database (accepted), and the log on the standard
// input: the session keeps the traffic state it started with, and the observer hears the drive.
TEST(WarnerSession, ReplaysTheStandardInputToItsObserver) {
  const platform::testing::TempSystemRoot system;
  const platform::testing::ScopedEnv sound("DW_SOUND", "null");
  const fs::path& dir = system.Folder();
  platform::testing::WriteFile(dir / "folder" / "SntGlobals.ini", "EvaluateTMC = 1\nLogSntFileMissing = 0\n");
  platform::testing::WriteFile(dir / "drive.nmea", kLog);

  platform::ScriptedReporter reporter;
  Recorder recorder;
  {
    WarnerSession session({(dir / "folder").string(), false}, reporter, [](uint32_t) {});
    session.SetObserver(&recorder);
    EXPECT_EQ(session.Settings().evaluateTMC, -1);
    ASSERT_TRUE(session.ActivateDatabase());

    const int saved = ::dup(STDIN_FILENO);
    const int log = ::open((dir / "drive.nmea").c_str(), O_RDONLY);
    ASSERT_GE(log, 0);
    ::dup2(log, STDIN_FILENO);
    const SessionEnd end = session.ReplayLog("-", false);
    ::dup2(saved, STDIN_FILENO);
    ::close(log);
    ::close(saved);
    EXPECT_TRUE(end.opened);
    EXPECT_EQ(end.code, platform::kErrorHandleEof);
  }
  EXPECT_EQ(recorder.fixes, (std::vector<bool>{true, false}));  // regained, then lost at the end
  EXPECT_FALSE(recorder.statuses.empty());
  EXPECT_EQ(recorder.ends, std::vector<uint32_t>{platform::kErrorHandleEof});
}

// The main window's spins and source choice reach the values file the session writes back; the
// speed limit is kept in its own unit (knots by default), not in km/h.
TEST(WarnerSession, KeepsTheMainWindowChoicesForTheValuesFile) {
  const platform::testing::TempSystemRoot system;
  const platform::testing::ScopedEnv sound("DW_SOUND", "null");
  const fs::path folder = system.Folder() / "folder";
  platform::testing::WriteFile(folder / "SntGlobals.ini", "LogSntFileMissing = 0\nSpeedsToAverage = 3\n");
  platform::ScriptedReporter reporter;
  WarnerSession session({folder.string(), false}, reporter, [](uint32_t) {});
  EXPECT_FALSE(session.CheckDatabaseFile());
  session.SetSpeedLimit(70);
  session.SetWatchAngle(25);
  session.SetSourceSelection({true, "FILE", "/tmp/drive.nmea", 9600});
  ASSERT_TRUE(session.SaveMainWindowValues());
  EXPECT_EQ(
      platform::testing::ReadFile(folder / "SntSettings.ini"),
      "WatchAngle=25\xB0\nSpeedLimit=70\nSearchSurrASCFile=\nSource=FILE\nBaudRate=9600\nSourceFile=/tmp/drive.nmea\n");
  EXPECT_TRUE(reporter.Records().empty());
}

}  // namespace
}  // namespace warner
