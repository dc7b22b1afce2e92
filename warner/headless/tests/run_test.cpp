// The headless warner on a real serial source: a pseudo-terminal mapped as COM4: and named by
// UseGPSPort. In process for the stop and the values written back, and as the waypost program
// in a child process, ended by SIGTERM as a user or a service manager ends it.

#include "warner/headless/run.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/devices/port_map.h"
#include "platform/registry/registry.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/child_process.h"
#include "platform/testing/files.h"
#include "platform/testing/pty.h"
#include "platform/testing/reports.h"
#include "platform/testing/system_root.h"
#include "tools/rds_groups/rds_groups.h"
#include "warner/headless/tests/sample_warner.h"

namespace warner {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class RunTest : public platform::testing::SystemRootTest {
 protected:
  void SetUp() override {
    test::CopySampleWarner(folder_);
    pty_.MakeRaw();
    platform::testing::MapPort("COM4:", pty_.slavePath());
    std::ofstream(folder_ / "SntGlobals.ini", std::ios::app) << "UseGPSPort = COM4:\n";
  }

  const platform::testing::ScopedEnv sound_{"DW_SOUND", "null"};
  const fs::path dir_{system_.Folder()};
  const fs::path folder_{dir_ / "folder"};
  platform::testing::Pty pty_;
};

TEST_F(RunTest, AStopRequestEndsTheRunAndTheSelectionIsWrittenBack) {
  std::ofstream(folder_ / "SntSettings.ini", std::ios::app) << "Source=COM7:\nBaudRate=9600\n";
  platform::ScriptedReporter reporter;
  RunStop stop;
  std::FILE* out = std::tmpfile();
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop.Request();
  });
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(RunOnSources({folder_.string(), true, false}, out, reporter, stop), kRunDone);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  stopper.join();
  std::fclose(out);
  EXPECT_TRUE(reporter.Records().empty());
  const std::string values = platform::testing::ReadFile(folder_ / "SntSettings.ini");
  EXPECT_NE(values.find("Source=COM7:\n"), std::string::npos) << values;
  EXPECT_NE(values.find("BaudRate=9600\n"), std::string::npos) << values;
}

TEST_F(RunTest, ValuesThatCannotBeWrittenBackFailTheRun) {
  fs::permissions(folder_ / "SntSettings.ini", fs::perms::owner_read);  // read-only
  platform::ScriptedReporter reporter;
  RunStop stop;
  stop.Request();
  std::FILE* out = std::tmpfile();
  EXPECT_EQ(RunOnSources({folder_.string(), true, false}, out, reporter, stop), kRunOutputFailed);
  std::fclose(out);
  EXPECT_TRUE(platform::testing::OneRecordStartingWith(reporter, "Can't write "));
}

TEST_F(RunTest, AnUnusableSourceEndsTheRunWithItsCode) {
  std::ofstream(folder_ / "SntGlobals.ini", std::ios::app) << "UseGPSPort = COM9:\n";
  platform::ScriptedReporter reporter;
  RunStop stop;
  std::FILE* out = std::tmpfile();
  EXPECT_EQ(RunOnSources({folder_.string(), true, false}, out, reporter, stop), kRunSourceFailed);
  std::fclose(out);
  EXPECT_TRUE(platform::testing::OneRecordStartingWith(reporter, "OpenCommDevice: Failed to open 'COM9:'\n"));
}

TEST_F(RunTest, AReceiverUnpluggedWhileRunningIsNamedWithItsError) {
  platform::ScriptedReporter reporter;
  RunStop stop;
  std::FILE* out = std::tmpfile();
  std::thread unplug([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    pty_.CloseMaster();  // the slave side now reads as a hang-up, as a USB receiver pulled out
  });
  EXPECT_EQ(RunOnSources({folder_.string(), true, false}, out, reporter, stop), kRunSourceFailed);
  unplug.join();
  std::fclose(out);
  EXPECT_TRUE(platform::testing::OneRecordStartingWith(reporter, "The GPS source COM4: failed.\nError No "));
}

// Nothing saved yet: the run writes back the speed limit in use, so the next run has the same
// speed alarm instead of a limit of 0 that would switch it off for good.
TEST_F(RunTest, TheSpeedAlarmSurvivesTheValuesWrittenBackByTheFirstRun) {
  // A log file named by UseGPSPort is replayed at the BaudRate: the drive's first 40 s, in which
  // it goes 150 km/h.
  std::ofstream(folder_ / "SntSettings.ini", std::ios::trunc) << "BaudRate=115200\n";
  std::ifstream drive(SAMPLE_DATA_DIR "/drive.nmea");
  std::ofstream start(dir_ / "start.nmea");
  std::string sentence;
  for (int i = 0; i < 120 && std::getline(drive, sentence); ++i) start << sentence << "\n";
  start.close();
  std::ofstream(folder_ / "SntGlobals.ini", std::ios::app) << "UseGPSPort = " << (dir_ / "start.nmea").string() << "\n";
  for (int run = 0; run < 2; ++run) {
    platform::ScriptedReporter reporter;
    RunStop stop;
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(RunOnSources({folder_.string(), true, false}, out, reporter, stop), kRunDone);
    std::rewind(out);
    std::string printed;
    char line[1024];
    while (std::fgets(line, sizeof line, out)) printed += line;
    std::fclose(out);
    EXPECT_NE(printed.find("\"event\":\"speedAlarm\""), std::string::npos) << "run " << run;
    EXPECT_TRUE(reporter.Records().empty());
  }
  const std::string values = platform::testing::ReadFile(folder_ / "SntSettings.ini");
  EXPECT_EQ(values.rfind("WatchAngle=18\xB0\nSpeedLimit=100\n", 0), 0u) << values;
}

// A TMC receiver on its own port (COM5:): its records are read while the GPS port is idle, and
// every message that reaches the traffic log is printed.
TEST_F(RunTest, TrafficFromASeparateTmcPortIsLoggedAndPrinted) {
  const platform::testing::Pty tmc;
  platform::testing::MapPort("COM5:", tmc.slavePath());
  for (const char* list : {"ECL_D1.bin", "LCL_D1.bin"})
    fs::copy_file(fs::path(DW_TRAFFIC_DATA_DIR) / list, folder_ / list);
  std::ofstream(folder_ / "SntGlobals.ini", std::ios::app)
      << "EvaluateTMC = 2\nUseTMCPort = COM5:\nASCWriteDirPath = " << dir_.string() << "/\n";
  std::vector<rds_groups::Group> groups;
  std::string error;
  ASSERT_TRUE(rds_groups::ParseGroups(
      rds_groups::MakeGroupFile({0xD301, "RADIO 7", 1, {{101, 12003, 0, 0}, {501, 13002, 1, 0}}}), groups, error));
  const std::string stream = rds_groups::PortStream(rds_groups::TmcRecords(groups), 3);

  platform::ScriptedReporter reporter;
  RunStop stop;
  std::FILE* out = std::tmpfile();
  std::thread receiver([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    tmc.Send(stream);
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (platform::testing::ReadFile(dir_ / "SntTMC.txt").find("slippery road") == std::string::npos &&
           Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    stop.Request();
  });
  EXPECT_EQ(RunOnSources({folder_.string(), true, false}, out, reporter, stop), kRunDone);
  receiver.join();

  const std::string log = platform::testing::ReadFile(dir_ / "SntTMC.txt");
  EXPECT_NE(log.find("stationary traffic { L 12003, E 101"), std::string::npos) << log;
  EXPECT_NE(log.find("slippery road { L 13002, E 501"), std::string::npos) << log;
  std::rewind(out);
  std::string printed;
  char line[1024];
  while (std::fgets(line, sizeof line, out)) printed += line;
  std::fclose(out);
  size_t traffic = 0;
  for (size_t at = 0; (at = printed.find("{\"event\":\"traffic\"", at)) != std::string::npos; ++at) ++traffic;
  EXPECT_EQ(traffic, 2u) << printed;
  EXPECT_TRUE(reporter.Records().empty());
}

TEST_F(RunTest, TheProgramWarnsOfWhatThePortSendsAndEndsCleanlyOnSigterm) {
  platform::testing::ChildProcess child(WAYPOST_PROGRAM, {"--run", "--json", "--folder", folder_.string()});
  ASSERT_TRUE(child.Started());
  std::ifstream drive(std::string(SAMPLE_DATA_DIR) + "/drive.nmea", std::ios::binary);
  // Sentences at about 50 KB/s: far faster than a receiver, slow enough that the ring never
  // overflows while the worker pauses on an empty port.
  char block[1024];
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
  while (!child.WaitForText("\"event\":\"announce\"", 20) && Clock::now() < deadline) {
    if (drive.read(block, sizeof block) || drive.gcount() > 0) {
      pty_.Send(std::string(block, static_cast<size_t>(drive.gcount())));
    }
  }
  const std::string& output = child.output;
  const size_t announce = output.find("{\"event\":\"announce\"");
  ASSERT_NE(announce, std::string::npos) << output;
  EXPECT_NE(output.find("\"text\":\"Camera\"", announce), std::string::npos) << output;

  const Clock::time_point signalled = Clock::now();
  child.Signal(SIGTERM);
  EXPECT_EQ(child.Finish(5000), 0);
  EXPECT_LT(Clock::now() - signalled, std::chrono::seconds(2)) << "the run ends promptly";
  const std::string& all = child.output;
  EXPECT_NE(all.find("{\"event\":\"end\",\"code\":0}"), std::string::npos) << all.substr(all.size() - 200);
}

}  // namespace
}  // namespace warner
