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

TEST(SettingsDefaults, EveryKeyInBothModes) {
  struct ModeValues {
    ProgramMode mode;
    bool angleSpin;
    int maximum, fallback;
    const char *actPos, *globals, *values, *layout;
  };
  for (const ModeValues& m : {ModeValues{ProgramMode::kSentry, true, 250, 100, "SntActPos.ASC", "SntGlobals.ini",
                                         "SntSettings.ini", "Waypost.ini"},
                              ModeValues{ProgramMode::kRover, false, 1000, 400, "RvrActPos.ASC", "RvrGlobals.ini",
                                         "RvrSettings.ini", "Roampost.ini"}}) {
    WarnerSettings s;
    s.playSatFixSound = 7;  // whatever was there before goes
    SetDefaultSettings(s, m.mode, "/opt/warner/");
    ExpectCommonDefaults(s);
    EXPECT_EQ(s.mode, m.mode);
    EXPECT_EQ(s.programFolder, "/opt/warner/");
    EXPECT_EQ(s.watchAngleSpinEnabled, m.angleSpin);
    EXPECT_EQ(s.speedLimitMaximum, m.maximum);
    EXPECT_EQ(s.speedLimitDefault, m.fallback);
    EXPECT_EQ(s.actPosFileName, m.actPos);
    EXPECT_STREQ(GlobalSettingsFileName(m.mode), m.globals);
    EXPECT_STREQ(MainWindowValuesFileName(m.mode), m.values);
    EXPECT_STREQ(WindowLayoutFileName(m.mode), m.layout);
  }
}

TEST(SpinValues, SavedTextsWithinRangeOrTheModeDefaults) {
  struct Case {
    ProgramMode mode;
    const char *angleText, *limitText;
    int angle, limit;
  };
  for (const Case& c : {
           Case{ProgramMode::kSentry, "25\xC2\xB0", "120km/h", 25, 120},  // "25°"
           Case{ProgramMode::kSentry, "360", "250", 360, 250},
           Case{ProgramMode::kSentry, "0", "0", 0, 0},
           Case{ProgramMode::kRover, "0", "1000", 0, 1000},
           Case{ProgramMode::kSentry, "", "", 18, 100},
           Case{ProgramMode::kRover, "", "", 18, 400},
           Case{ProgramMode::kSentry, "361", "251", 18, 100},
           Case{ProgramMode::kRover, "-1", "-5mph", 18, 400},
           // A text without a number is no saved value (not a watch angle of 0).
           Case{ProgramMode::kSentry, "wide", "km/h", 18, 100},
       }) {
    WarnerSettings s;
    SetDefaultSettings(s, c.mode, "");
    s.watchAngleText = c.angleText;
    s.speedLimitText = c.limitText;
    InitialiseSpinValues(s);
    EXPECT_EQ(s.watchAngle, c.angle) << c.angleText;
    EXPECT_EQ(s.speedLimit, c.limit) << c.limitText;
  }
}

}  // namespace
}  // namespace warner
