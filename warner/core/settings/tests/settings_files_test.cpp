#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

#include "platform/reports/scripted_reporter.h"
#include "warner/core/settings/warner_settings.h"
#include "warner/gps/conversions.h"

namespace warner {
namespace {

using platform::ScriptedReporter;
using platform::Severity;

class SettingsFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/warner-settings-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = std::string(pattern) + "/";
    SetDefaultSettings(settings_, ProgramMode::kSentry, folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ + name, std::ios::binary) << bytes;
  }
  std::string ReadFile(const std::string& name) {
    std::ifstream in(folder_ + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  int ReadGlobals(const std::string& bytes) {
    WriteFile("SntGlobals.ini", bytes);
    return ReadGlobalSettings(settings_, reporter_);
  }
  std::string LineError(int line, const char* file = "SntGlobals.ini") {
    return "Error in line " + std::to_string(line) + " of the Ini-File: " + folder_ + file;
  }

  std::string folder_;
  WarnerSettings settings_;
  ScriptedReporter reporter_;
};

TEST_F(SettingsFiles, EveryGlobalKeyIsRead) {
  ASSERT_EQ(ReadGlobals("PlaySatFixSound=3\n"
                        "LogSntFileMissing=0\n"
                        "EvaluateTMC=2\n"
                        "AutoSwitch=-1\n"
                        "UseWM5GPSPort=COM7:\n"
                        "UseTMCPort=\\My Documents\\tmc.bin\n"
                        "DisplayLongitudeFirst=1\n"
                        "WriteLogMode=split\n"
                        "AnnounceOpenTime=15\n"
                        "DirectionToleranceAngle=12.5\n"
                        "SpeedsToAverage=4\n"
                        "SpeedLimitDimension=mph\n"
                        "SpeedLimitWAVFile=Sounds\\limit.wav\n"
                        "SatFixWAVFile=Sounds\\fix.wav\n"
                        "SatLostWAVFile=Sounds\\lost.wav\n"
                        "KeyStrokeWAVFile=Sounds\\key.wav\n"
                        "WriteActPos=1\n"
                        "WriteMergedLog=1\n"
                        "ASCReadDirPath=\\Storage Card\\POI\\\n"
                        "ASCWriteDirPath=\\My Documents\n"
                        "AlternateSourceFile=\\Temp\\alt.txt\n"
                        "FileMessageName=\\Temp\\anno.txt\n"
                        "RegisteredMessageName=WaypostAnnounce\n"),
            0);
  const WarnerSettings& s = settings_;
  EXPECT_EQ(s.playSatFixSound, 3);
  EXPECT_EQ(s.logSntFileMissing, 0);
  EXPECT_EQ(s.evaluateTMC, 2);
  EXPECT_EQ(s.autoSwitch, -1);
  EXPECT_EQ(s.useWM5GPSPort.portName, "COM7:");
  EXPECT_EQ(s.gpsSourceState, kGpsSourceUseWm5GpsPort);
  EXPECT_EQ(s.GpsPort().portName, "COM7:");
  EXPECT_EQ(s.useTMCPort.filePath, "\\My Documents\\tmc.bin");
  EXPECT_FALSE(s.useTMCPort.IsPort());
  EXPECT_EQ(s.tmcSourceState, kTmcSourceUseTmcPort);
  EXPECT_EQ(s.displayLongitudeFirst, 1);
  EXPECT_EQ(s.writeLogMode, kLogSplit);
  EXPECT_EQ(s.announceOpenTime, 15);
  EXPECT_DOUBLE_EQ(s.directionToleranceAngle, 12.5);
  EXPECT_EQ(s.speedsToAverage, 4);
  EXPECT_EQ(s.speedLimitDimension, gps::kMph);
  EXPECT_EQ(s.speedLimitWAVFile, "Sounds\\limit.wav");
  EXPECT_EQ(s.satFixWAVFile, "Sounds\\fix.wav");
  EXPECT_EQ(s.satLostWAVFile, "Sounds\\lost.wav");
  EXPECT_EQ(s.keyStrokeWAVFile, "Sounds\\key.wav");
  EXPECT_EQ(s.writeActPos, 1);
  EXPECT_EQ(s.writeMergedLog, 1);
  EXPECT_EQ(s.ascReadDirPath, "\\Storage Card\\POI\\");
  EXPECT_EQ(s.ascWriteDirPath, "\\My Documents\\");
  EXPECT_EQ(s.alternateSourceFile, "\\Temp\\alt.txt");
  EXPECT_EQ(s.alternateSourceType, 0);
  EXPECT_EQ(s.fileMessageName, "\\Temp\\anno.txt");
  EXPECT_EQ(s.registeredMessageName, "WaypostAnnounce");
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(SettingsFiles, LineSyntaxAcrossAFile) {
  ASSERT_EQ(ReadGlobals("PlaySatFixSound=5\r\n"
                        "   \r\n"
                        "\r\n"
                        "  playsatfixsound = 0  \r\n"
                        "SpeedsToAverage=3 // three speeds\r\n"
                        "// SpeedsToAverage=9\r\n"
                        "unknown=1\r\n"
                        "AutoSwitch=1\x01WriteActPos=1\r\n"  // a control character ends a line
                        "WriteMergedLog=1"),                 // the last line needs no line end
            0);
  EXPECT_EQ(settings_.playSatFixSound, 0);
  EXPECT_EQ(settings_.speedsToAverage, 3);
  EXPECT_EQ(settings_.autoSwitch, 1);
  EXPECT_EQ(settings_.writeActPos, 1);
  EXPECT_EQ(settings_.writeMergedLog, 1);

  // Windows-1252 unless the file starts with a UTF-8 byte-order mark.
  ASSERT_EQ(ReadGlobals("SatFixWAVFile=Gr\xFC\xDF.wav\n"), 0);
  EXPECT_EQ(settings_.satFixWAVFile, "Gr\xC3\xBC\xC3\x9F.wav");
  ASSERT_EQ(ReadGlobals("\xEF\xBB\xBFSatLostWAVFile=Gr\xC3\xBC\xC3\x9F.wav\n"), 0);
  EXPECT_EQ(settings_.satLostWAVFile, "Gr\xC3\xBC\xC3\x9F.wav");
}

TEST_F(SettingsFiles, PortKeysNameAPortOrALogFile) {
  ASSERT_EQ(ReadGlobals("UseGPSPort=COM4:\n"), 0);
  EXPECT_EQ(settings_.gpsSourceState, kGpsSourceUseGpsPort);
  EXPECT_TRUE(settings_.GpsPort().IsPort());
  EXPECT_EQ(settings_.GpsPort().portName, "COM4:");

  SetDefaultSettings(settings_, ProgramMode::kSentry, folder_);
  ASSERT_EQ(ReadGlobals("UseGPSPort=\\My Documents\\drive.gps\nUseTMCPort=COM5:\n"), 0);
  EXPECT_EQ(settings_.gpsSourceState, kGpsSourceUseGpsPort);
  EXPECT_TRUE(settings_.GpsPort().IsFile());
  EXPECT_EQ(settings_.GpsPort().filePath, "\\My Documents\\drive.gps");
  EXPECT_EQ(settings_.useTMCPort.portName, "COM5:");

  // Of the two GPS keys the later line decides.
  SetDefaultSettings(settings_, ProgramMode::kSentry, folder_);
  ASSERT_EQ(ReadGlobals("UseGPSPort=COM4:\nUseWM5GPSPort=COM8:\n"), 0);
  EXPECT_EQ(settings_.gpsSourceState, kGpsSourceUseWm5GpsPort);
  EXPECT_EQ(settings_.GpsPort().portName, "COM8:");
}

TEST_F(SettingsFiles, AnAlternateSourceOverridesPortsAndTrafficWhereverItStands) {
  ASSERT_EQ(ReadGlobals("AlternateSourceType=1\nUseGPSPort=COM4:\nUseWM5GPSPort=x.gps\nEvaluateTMC=2\n"), 0);
  EXPECT_EQ(settings_.gpsSourceState, kGpsSourceSearchVirtual);
  EXPECT_FALSE(settings_.useGPSPort.IsPort() || settings_.useGPSPort.IsFile());
  EXPECT_FALSE(settings_.useWM5GPSPort.IsPort() || settings_.useWM5GPSPort.IsFile());
  EXPECT_EQ(settings_.evaluateTMC, 0);

  // A negative type only takes the radio values from the file: the GPS port stays.
  SetDefaultSettings(settings_, ProgramMode::kSentry, folder_);
  ASSERT_EQ(ReadGlobals("UseGPSPort=COM4:\nEvaluateTMC=2\nAlternateSourceType=-1\n"), 0);
  EXPECT_EQ(settings_.gpsSourceState, kGpsSourceUseGpsPort);
  EXPECT_EQ(settings_.GpsPort().portName, "COM4:");
  EXPECT_EQ(settings_.evaluateTMC, 0);
}

TEST_F(SettingsFiles, KeywordAndCorrectedValues) {
  struct Case {
    const char* value;
    int unit;
  };
  for (const Case& c :
       {Case{"KMPH", gps::kKmh}, Case{"km/h", gps::kKmh}, Case{"mph", gps::kMph}, Case{"knots", gps::kKnots},
        Case{"m/sec", gps::kMetersPerSecond}, Case{"furlongs", gps::kKmh}}) {
    ASSERT_EQ(ReadGlobals(std::string("SpeedLimitDimension=") + c.value + "\n"), 0);
    EXPECT_EQ(settings_.speedLimitDimension, c.unit) << c.value;
  }
  struct Mode {
    const char* value;
    int code;
  };
  for (const Mode& m : {Mode{"notnmea", kLogNotNmea}, Mode{"NMEA", kLogNmea}, Mode{"Split", kLogSplit},
                        Mode{"all", kLogAll}, Mode{"nmea+all", kLogAll}, Mode{"none", kLogAll}}) {
    ASSERT_EQ(ReadGlobals(std::string("WriteLogMode=split\nWriteLogMode=") + m.value + "\n"), 0);
    EXPECT_EQ(settings_.writeLogMode, m.code) << m.value;
  }
  ASSERT_EQ(ReadGlobals("AnnounceOpenTime=0\n"), 0);
  EXPECT_EQ(settings_.announceOpenTime, 10);
  ASSERT_EQ(ReadGlobals("AnnounceOpenTime=-4\n"), 0);
  EXPECT_EQ(settings_.announceOpenTime, 10);
  ASSERT_EQ(ReadGlobals("AnnounceOpenTime=1\n"), 0);
  EXPECT_EQ(settings_.announceOpenTime, 1);

  ASSERT_EQ(ReadGlobals("ASCWriteDirPath=\\My Documents\\POI\nASCReadDirPath=/home/me/poi\n"), 0);
  EXPECT_EQ(settings_.ascWriteDirPath, "\\My Documents\\POI\\");
  EXPECT_EQ(settings_.ascReadDirPath, "/home/me/poi/");
  ASSERT_EQ(ReadGlobals("AlternateSourceFile=\t\\Temp\\alt file.txt \n"), 0);
  EXPECT_EQ(settings_.alternateSourceFile, "\\Temp\\alt file.txt ");
}

TEST_F(SettingsFiles, OpenAndReadFailures) {
  // A missing file or folder keeps the defaults without a word.
  EXPECT_EQ(ReadGlobalSettings(settings_, reporter_), -1);
  EXPECT_EQ(ReadMainWindowValues(settings_, reporter_), -1);
  WarnerSettings elsewhere = settings_;
  elsewhere.programFolder = folder_ + "no/such/folder/";
  EXPECT_EQ(ReadGlobalSettings(elsewhere, reporter_), -1);
  EXPECT_TRUE(reporter_.Records().empty());

  // Any other failure would hide the user's settings, so it is reported.
  ASSERT_EQ(symlink("SntGlobals.ini", (folder_ + "SntGlobals.ini").c_str()), 0);  // a loop
  EXPECT_EQ(ReadGlobalSettings(settings_, reporter_), -1);
  std::filesystem::create_directory(folder_ + "SntSettings.ini");
  EXPECT_EQ(ReadMainWindowValues(settings_, reporter_), -1);
  const auto records = reporter_.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].text.rfind("Can't open " + folder_ + "SntGlobals.ini.\nError No ", 0), 0u) << records[0].text;
  EXPECT_EQ(records[1].text, LineError(1, "SntSettings.ini"));
}

TEST_F(SettingsFiles, AValueTooLongForItsBufferStopsTheFileWithItsLineNumber) {
  const std::string longPath(kMaxPathValue + 1, 'a');
  EXPECT_EQ(ReadGlobals("PlaySatFixSound=0\r\n"
                        "\r\n"
                        "// comment\r\n"
                        "SatFixWAVFile=" +
                        longPath +
                        "\r\n"
                        "AutoSwitch=2\r\n"),
            -1);
  ASSERT_EQ(reporter_.Records().size(), 1u);
  EXPECT_EQ(reporter_.Records()[0].severity, Severity::kError);
  EXPECT_EQ(reporter_.Records()[0].text, LineError(4));
  EXPECT_EQ(settings_.playSatFixSound, 0);  // before the bad line
  EXPECT_EQ(settings_.satFixWAVFile, "");
  EXPECT_EQ(settings_.autoSwitch, 0);  // after it

  // The longest value that fits is taken whole.
  ScriptedReporter quiet;
  WriteFile("SntGlobals.ini", "SatFixWAVFile=" + longPath.substr(1) + "\n");
  EXPECT_EQ(ReadGlobalSettings(settings_, quiet), 0);
  EXPECT_EQ(settings_.satFixWAVFile.size(), kMaxPathValue);
}

TEST_F(SettingsFiles, MainWindowValuesFileTakesOnlyItsKeysAndSpinTextLimits) {
  WriteFile("SntSettings.ini", "SpeedLimitDimension=mph\nWatchAngle=18\nSpeedLimit=" +
                                   std::string(kMaxSpinText + 1, '1') + "\nSource=COM3:\n");
  EXPECT_EQ(ReadMainWindowValues(settings_, reporter_), -1);
  EXPECT_EQ(settings_.speedLimitDimension, gps::kKnots);
  EXPECT_EQ(settings_.watchAngleText, "18");
  EXPECT_EQ(settings_.source, "");
  ASSERT_EQ(reporter_.Records().size(), 1u);
  EXPECT_EQ(reporter_.Records()[0].text, LineError(3, "SntSettings.ini"));
}

TEST_F(SettingsFiles, MainWindowValuesRoundTrip) {
  settings_.watchAngle = 25;
  settings_.speedLimit = 120;
  settings_.searchSurrASCFile = "Blitzer.asc";
  settings_.source = "COM3:";
  settings_.baudRate = 38400;
  settings_.sourceFile = "\\My Documents\\Z\xC3\xBCrich \xE2\x82\xAC.txt";  // "Zürich €.txt"
  ASSERT_EQ(WriteMainWindowValues(settings_, reporter_), 0);
  EXPECT_TRUE(reporter_.Records().empty());
  EXPECT_EQ(ReadFile("SntSettings.ini"),
            "WatchAngle=25\xB0\n"
            "SpeedLimit=120\n"
            "SearchSurrASCFile=Blitzer.asc\n"
            "Source=COM3:\n"
            "BaudRate=38400\n"
            "SourceFile=\\My Documents\\Z\xFCrich \x80.txt\n");
  for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
    EXPECT_NE(entry.path().extension(), ".tmp") << "a temporary left behind: " << entry.path();
  }

  WarnerSettings back;
  SetDefaultSettings(back, ProgramMode::kSentry, folder_);
  ASSERT_EQ(ReadMainWindowValues(back, reporter_), 0);
  EXPECT_EQ(back.watchAngleText, "25\xC2\xB0");
  EXPECT_EQ(back.speedLimitText, "120");
  EXPECT_EQ(back.searchSurrASCFile, settings_.searchSurrASCFile);
  EXPECT_EQ(back.source, settings_.source);
  EXPECT_EQ(back.baudRate, 38400);
  EXPECT_EQ(back.sourceFile, settings_.sourceFile);
}

// Nothing saved yet: the spins start from the mode's defaults, and those are what is written, so
// the next start has the same speed alarm (an empty or zero limit would switch it off for good).
TEST_F(SettingsFiles, WithoutSavedValuesTheDefaultsInUseAreWritten) {
  for (const auto& [mode, file, expected] :
       {std::tuple{ProgramMode::kSentry, "SntSettings.ini", "WatchAngle=18\xB0\nSpeedLimit=100\n"},
        std::tuple{ProgramMode::kRover, "RvrSettings.ini", "WatchAngle=18\xB0\nSpeedLimit=400\n"}}) {
    SetDefaultSettings(settings_, mode, folder_);
    ReadMainWindowValues(settings_, reporter_);
    InitialiseSpinValues(settings_);
    ASSERT_EQ(WriteMainWindowValues(settings_, reporter_), 0);
    EXPECT_EQ(ReadFile(file), std::string(expected) + "SearchSurrASCFile=\nSource=\nBaudRate=4800\nSourceFile=\n");

    WarnerSettings next;
    SetDefaultSettings(next, mode, folder_);
    ReadMainWindowValues(next, reporter_);
    InitialiseSpinValues(next);
    EXPECT_EQ(next.speedLimit, settings_.speedLimit);
    EXPECT_EQ(next.watchAngle, 18);
  }
}

TEST_F(SettingsFiles, Utf8FilesAreReadAsUtf8AndOthersAsWindows1252) {
  ASSERT_EQ(ReadGlobals("SatFixWAVFile=/home/j\xC3\xBCrgen/fix.wav\n"), 0);
  EXPECT_EQ(settings_.satFixWAVFile, "/home/j\u00FCrgen/fix.wav");
  ASSERT_EQ(ReadGlobals("SatFixWAVFile=/home/j\xFCrgen/fix.wav\n"), 0);
  EXPECT_EQ(settings_.satFixWAVFile, "/home/j\u00FCrgen/fix.wav");
}

TEST_F(SettingsFiles, ALinkedValuesFileIsWrittenThroughToItsTarget) {
  std::filesystem::create_directory(folder_ + "real");
  WriteFile("real/values.ini", "WatchAngle=30\n");
  std::filesystem::create_symlink(folder_ + "real/values.ini", folder_ + "SntSettings.ini");
  settings_.watchAngle = 42;
  ASSERT_EQ(WriteMainWindowValues(settings_, reporter_), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(folder_ + "SntSettings.ini"));
  EXPECT_EQ(ReadFile("real/values.ini").rfind("WatchAngle=42\xB0\n", 0), 0u);
}

TEST_F(SettingsFiles, ValuesThatWouldNotReadBackAreLeftOutAndReported) {
  settings_.source = "COM3:";
  settings_.sourceFile = "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0.txt";  // no Windows-1252 form
  settings_.searchSurrASCFile = "x.asc\nSpeedLimit=999";                          // would add a line
  ASSERT_EQ(WriteMainWindowValues(settings_, reporter_), 0);
  EXPECT_EQ(ReadFile("SntSettings.ini"), "WatchAngle=18\xB0\nSpeedLimit=0\nSource=COM3:\nBaudRate=4800\n");
  ASSERT_EQ(reporter_.Records().size(), 2u);
  EXPECT_EQ(reporter_.Records()[0].severity, Severity::kWarning);
  EXPECT_NE(reporter_.Records()[0].text.find("SearchSurrASCFile"), std::string::npos);
  EXPECT_NE(reporter_.Records()[1].text.find("SourceFile"), std::string::npos);
}

TEST_F(SettingsFiles, AFailedWriteLeavesTheOldFileWholeAndIsReported) {
  const std::string old = "WatchAngle=30\nSpeedLimit=80\n";
  WriteFile("SntSettings.ini", old);
  // The handheld's read-only attribute: no write permission bit, which even root respects here.
  ASSERT_EQ(chmod((folder_ + "SntSettings.ini").c_str(), 0444), 0);
  settings_.speedLimit = 120;
  EXPECT_EQ(WriteMainWindowValues(settings_, reporter_), -1);
  EXPECT_EQ(ReadFile("SntSettings.ini"), old);
  ASSERT_EQ(reporter_.Records().size(), 1u);
  EXPECT_EQ(reporter_.Records()[0].severity, Severity::kError);
  EXPECT_EQ(reporter_.Records()[0].text.rfind("Can't write " + folder_ + "SntSettings.ini.\nError No ", 0), 0u)
      << reporter_.Records()[0].text;

  // A folder that does not exist is a failure too, not a silent success.
  ScriptedReporter second;
  settings_.programFolder = folder_ + "gone/";
  EXPECT_EQ(WriteMainWindowValues(settings_, second), -1);
  EXPECT_EQ(second.Records().size(), 1u);
}

TEST_F(SettingsFiles, ReplacingKeepsTheOldFilesPermissions) {
  WriteFile("SntSettings.ini", "WatchAngle=30\n");
  ASSERT_EQ(chmod((folder_ + "SntSettings.ini").c_str(), 0600), 0);
  ASSERT_EQ(WriteMainWindowValues(settings_, reporter_), 0);
  struct stat st {};
  ASSERT_EQ(stat((folder_ + "SntSettings.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace warner
