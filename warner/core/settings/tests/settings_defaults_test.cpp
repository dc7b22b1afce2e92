#include <gtest/gtest.h>

#include "warner/core/settings/warner_settings.h"
#include "warner/gps/conversions.h"

namespace warner {
namespace {

// The values every key holds before any file is read, which both modes share.
void ExpectCommonDefaults(const WarnerSettings& s) {
  EXPECT_EQ(s.playSatFixSound, 2);
  EXPECT_EQ(s.logSntFileMissing, 1);
  EXPECT_EQ(s.evaluateTMC, 0);
  EXPECT_EQ(s.autoSwitch, 0);
  EXPECT_FALSE(s.useWM5GPSPort.IsPort() || s.useWM5GPSPort.IsFile());
  EXPECT_FALSE(s.useGPSPort.IsPort() || s.useGPSPort.IsFile());
  EXPECT_FALSE(s.useTMCPort.IsPort() || s.useTMCPort.IsFile());
  EXPECT_EQ(s.displayLongitudeFirst, 0);
  EXPECT_EQ(s.writeLogMode, kLogAll);
  EXPECT_EQ(s.announceOpenTime, 10);
  EXPECT_EQ(s.directionToleranceAngle, 27.0);
  EXPECT_EQ(s.speedsToAverage, 0);
  EXPECT_EQ(s.speedLimitDimension, gps::kKnots);
  EXPECT_EQ(s.speedLimitWAVFile, "");
  EXPECT_EQ(s.satFixWAVFile, "");
  EXPECT_EQ(s.satLostWAVFile, "");
  EXPECT_EQ(s.keyStrokeWAVFile, "");
  EXPECT_EQ(s.writeActPos, 0);
  EXPECT_EQ(s.writeMergedLog, 0);
  EXPECT_EQ(s.ascReadDirPath, "");
  EXPECT_EQ(s.ascWriteDirPath, "");
  EXPECT_EQ(s.alternateSourceFile, "");
  EXPECT_EQ(s.alternateSourceType, 0);
  EXPECT_EQ(s.fileMessageName, "");
  EXPECT_EQ(s.registeredMessageName, "");
  EXPECT_EQ(s.gpsSourceState, kGpsSourceSearchVirtual);
  EXPECT_EQ(s.tmcSourceState, kTmcSourceNone);
  EXPECT_EQ(s.actPosFolder, "\\Windows\\");
  EXPECT_EQ(s.watchAngleText, "");
  EXPECT_EQ(s.speedLimitText, "");
  EXPECT_EQ(s.searchSurrASCFile, "");
  EXPECT_EQ(s.source, "");
  EXPECT_EQ(s.baudRate, 4800);
  EXPECT_EQ(s.sourceFile, "");
  EXPECT_EQ(s.watchAngle, 18);
  EXPECT_EQ(s.speedLimit, 0);
}

TEST(SettingsDefaults, SentryMode) {
  WarnerSettings s;
  s.playSatFixSound = 7;  // whatever was there before goes
  SetDefaultSettings(s, ProgramMode::kSentry, "/opt/warner/");
  ExpectCommonDefaults(s);
  EXPECT_EQ(s.mode, ProgramMode::kSentry);
  EXPECT_EQ(s.programFolder, "/opt/warner/");
  EXPECT_TRUE(s.watchAngleSpinEnabled);
  EXPECT_EQ(s.speedLimitMaximum, 250);
  EXPECT_EQ(s.speedLimitDefault, 100);
  EXPECT_EQ(s.actPosFileName, "SntActPos.ASC");
  EXPECT_STREQ(GlobalSettingsFileName(s.mode), "SntGlobals.ini");
  EXPECT_STREQ(MainWindowValuesFileName(s.mode), "SntSettings.ini");
  EXPECT_STREQ(WindowLayoutFileName(s.mode), "Waypost.ini");
}

TEST(SettingsDefaults, RoverMode) {
  WarnerSettings s;
  SetDefaultSettings(s, ProgramMode::kRover, "/opt/warner/");
  ExpectCommonDefaults(s);
  EXPECT_EQ(s.mode, ProgramMode::kRover);
  EXPECT_FALSE(s.watchAngleSpinEnabled);
  EXPECT_EQ(s.speedLimitMaximum, 1000);
  EXPECT_EQ(s.speedLimitDefault, 400);
  EXPECT_EQ(s.actPosFileName, "RvrActPos.ASC");
  EXPECT_STREQ(GlobalSettingsFileName(s.mode), "RvrGlobals.ini");
  EXPECT_STREQ(MainWindowValuesFileName(s.mode), "RvrSettings.ini");
  EXPECT_STREQ(WindowLayoutFileName(s.mode), "Roampost.ini");
}

TEST(SpinValues, SavedTextsWithinRangeAreTaken) {
  WarnerSettings s;
  SetDefaultSettings(s, ProgramMode::kSentry, "");
  s.watchAngleText = "25\xC2\xB0";  // "25°"
  s.speedLimitText = "120km/h";
  InitialiseSpinValues(s);
  EXPECT_EQ(s.watchAngle, 25);
  EXPECT_EQ(s.speedLimit, 120);

  s.watchAngleText = "360";
  s.speedLimitText = "250";
  InitialiseSpinValues(s);
  EXPECT_EQ(s.watchAngle, 360);
  EXPECT_EQ(s.speedLimit, 250);
  s.watchAngleText = "0";
  s.speedLimitText = "0";
  InitialiseSpinValues(s);
  EXPECT_EQ(s.watchAngle, 0);
  EXPECT_EQ(s.speedLimit, 0);
}

TEST(SpinValues, MissingOrOutOfRangeTextsGiveTheModeDefaults) {
  for (ProgramMode mode : {ProgramMode::kSentry, ProgramMode::kRover}) {
    WarnerSettings s;
    SetDefaultSettings(s, mode, "");
    const int fallback = mode == ProgramMode::kSentry ? 100 : 400;
    InitialiseSpinValues(s);
    EXPECT_EQ(s.watchAngle, 18);
    EXPECT_EQ(s.speedLimit, fallback);

    s.watchAngleText = "361";
    s.speedLimitText = std::to_string(s.speedLimitMaximum + 1);
    InitialiseSpinValues(s);
    EXPECT_EQ(s.watchAngle, 18);
    EXPECT_EQ(s.speedLimit, fallback);

    s.watchAngleText = "-1";
    s.speedLimitText = "-5mph";
    InitialiseSpinValues(s);
    EXPECT_EQ(s.watchAngle, 18);
    EXPECT_EQ(s.speedLimit, fallback);

    // A text without a number is no saved value (not a watch angle of 0).
    s.watchAngleText = "wide";
    s.speedLimitText = "km/h";
    InitialiseSpinValues(s);
    EXPECT_EQ(s.watchAngle, 18);
    EXPECT_EQ(s.speedLimit, fallback);
  }
  WarnerSettings rover;
  SetDefaultSettings(rover, ProgramMode::kRover, "");
  rover.speedLimitText = "1000";
  InitialiseSpinValues(rover);
  EXPECT_EQ(rover.speedLimit, 1000);
}

}  // namespace
}  // namespace warner
