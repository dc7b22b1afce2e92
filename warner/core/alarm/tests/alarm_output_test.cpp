#include "warner/core/alarm/alarm_output.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "warner/core/alarm/tests/alarm_test_support.h"
#include "warner/core/settings/warner_settings.h"

namespace warner {
namespace {

using testing::AlarmTest;

class NamedSoundTest : public AlarmTest {
 protected:
  void SetUp() override {
    AlarmTest::SetUp();
    ASSERT_EQ(EnsureSystemSounds(), 4);
  }
  SoundPaths paths_;
};

TEST_F(NamedSoundTest, DotNamePlaysFromTheProgramsSoundsFolderWithWavAppended) {
  const std::string file = AddProgramSound("Radar.wav");
  const int length = PlayNamedSound(player_, ".Radar", programFolder_, kAlarmSound, paths_);

  EXPECT_EQ(platform::ToLinuxPath(paths_.resolvedPath), file);
  EXPECT_EQ(paths_.path, paths_.resolvedPath);
  EXPECT_EQ(length, static_cast<int>(paths_.path.size()));
  EXPECT_EQ(player_.Played(), std::vector<std::string>{file});
}

TEST_F(NamedSoundTest, CategoryBytesAreTakenAsWindows1252AndSettingsNamesAsUtf8) {
  const std::string file = AddProgramSound("S\xC3\xA4ge.wav");  // "Säge" on disk in UTF-8

  EXPECT_GT(PlayNamedSound(player_, ".S\xE4ge", programFolder_, kAlarmSound, paths_, NameCoding::kCp1252), 0);
  EXPECT_GT(PlayNamedSound(player_, ".S\xC3\xA4ge", programFolder_, kAlarmSound, paths_), 0);
  EXPECT_EQ(player_.Played(), (std::vector<std::string>{file, file}));
}

TEST_F(NamedSoundTest, SettingsNameTheHandheldCannotSpellFallsBack) {
  AddProgramSound("\xE2\x82\xAC\xE2\x98\x83.wav");  // "€☃": the snowman has no single-byte code
  EXPECT_LT(PlayNamedSound(player_, ".\xE2\x82\xAC\xE2\x98\x83", programFolder_, kInfoEndSound, paths_), 0);
  EXPECT_EQ(player_.Played(), std::vector<std::string>{System(kInfoEndSound)});
}

TEST_F(NamedSoundTest, HandheldAbsoluteNameResolvesUnderTheSystemRoot) {
  EXPECT_GT(PlayNamedSound(player_, "\\Windows\\Infbeg", programFolder_, kAlarmSound, paths_), 0);
  EXPECT_EQ(paths_.path, "\\Windows\\Infbeg.wav");
  EXPECT_EQ(player_.Played(), std::vector<std::string>{System(kInfoBeginSound)});
}

TEST_F(NamedSoundTest, NoNameReportsNullAndPlaysTheFallback) {
  EXPECT_EQ(ResolveSoundPath("", programFolder_, kMenuPopSound, paths_), -1);
  EXPECT_EQ(paths_.resolvedPath, "NULL");
  EXPECT_EQ(paths_.path, kMenuPopSound);

  EXPECT_EQ(PlayNamedSound(player_, "", programFolder_, kMenuPopSound, paths_), -1);
  EXPECT_EQ(paths_.path, kMenuPopSound);
  EXPECT_EQ(player_.Played(), std::vector<std::string>{System(kMenuPopSound)});

  EXPECT_EQ(ResolveSoundPath("", programFolder_, "", paths_), -1);
  EXPECT_EQ(paths_.path, kAlarmSound);
}

TEST_F(NamedSoundTest, MissingFileOrFolderOrNonSoundPlaysTheFallback) {
  std::filesystem::create_directories(base_ / "program" / "Sounds" / "Folder.wav");
  AddProgramFile("Sounds/Text.wav", "no sound at all");

  for (const char* name : {".Missing", ".Folder", ".Text"}) {
    SCOPED_TRACE(name);
    player_.requests.clear();
    EXPECT_EQ(PlayNamedSound(player_, name, programFolder_, kInfoBeginSound, paths_), -1);
    EXPECT_EQ(paths_.path, kInfoBeginSound);
    EXPECT_EQ(player_.Played(), std::vector<std::string>{System(kInfoBeginSound)});
  }
}

TEST_F(NamedSoundTest, FailingFallbackPlaysTheAlarmAndAFailingAlarmIsTriedOnce) {
  std::filesystem::remove(System(kInfoEndSound));
  EXPECT_EQ(PlayNamedSound(player_, ".Missing", programFolder_, kInfoEndSound, paths_), -1);
  EXPECT_EQ(paths_.path, kAlarmSound);
  EXPECT_EQ(player_.Played(), std::vector<std::string>{System(kAlarmSound)});

  std::filesystem::remove(System(kAlarmSound));
  player_.requests.clear();
  EXPECT_EQ(PlayNamedSound(player_, ".Missing", programFolder_, kAlarmSound, paths_), -1);
  EXPECT_EQ(paths_.path, kAlarmSound);
  ASSERT_EQ(player_.requests.size(), 1u);
  EXPECT_FALSE(player_.requests[0].played);
}

TEST_F(NamedSoundTest, EventsPlayTheirSettingsNamesWithTheirOwnFallbacks) {
  WarnerSettings settings;
  settings.programFolder = programFolder_;
  settings.satLostWAVFile = ".NotThere";
  settings.satFixWAVFile = ".Fix";
  const std::string fixFile = AddProgramSound("Fix.wav");

  EXPECT_EQ(PlaySoundEvent(player_, settings, SoundEvent::kSatFixLost, paths_), -1);
  EXPECT_EQ(paths_.path, kInfoEndSound);
  EXPECT_GT(PlaySoundEvent(player_, settings, SoundEvent::kSatFixRegained, paths_), 0);
  EXPECT_EQ(PlaySoundEvent(player_, settings, SoundEvent::kKeyStroke, paths_), -1);
  EXPECT_EQ(PlaySoundEvent(player_, settings, SoundEvent::kSpeedAlarm, paths_), -1);
  EXPECT_EQ(PlaySoundEvent(player_, settings, SoundEvent::kPoiAnnouncement, paths_, ".Nowhere"), -1);
  EXPECT_EQ(player_.Played(), (std::vector<std::string>{System(kInfoEndSound), fixFile, System(kMenuPopSound),
                                                        System(kAlarmSound), System(kAlarmSound)}));
}

}  // namespace
}  // namespace warner
