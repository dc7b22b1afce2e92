#include "warner/core/alarm/satellite_sounds.h"

#include <gtest/gtest.h>

#include "warner/core/alarm/tests/alarm_test_support.h"
#include "warner/core/settings/warner_settings.h"
#include "warner/gps/gps_fix.h"

namespace warner {
namespace {

constexpr int kGga = gps::kSentenceGga;
constexpr int kRmc = gps::kSentenceRmc;

class SatelliteSoundsTest : public testing::AlarmTest {
 protected:
  void SetUp() override {
    AlarmTest::SetUp();
    ASSERT_EQ(EnsureSystemSounds(), 4);
    settings_.programFolder = programFolder_;
    settings_.satFixWAVFile = ".Fix";
    settings_.satLostWAVFile = ".Lost";
    fixFile_ = AddProgramSound("Fix.wav");
    lostFile_ = AddProgramSound("Lost.wav");
  }

  SatelliteSounds Sounds(int playSatFixSound) {
    settings_.playSatFixSound = playSatFixSound;
    return SatelliteSounds(player_, settings_);
  }

  WarnerSettings settings_;
  std::string fixFile_;
  std::string lostFile_;
};

TEST_F(SatelliteSoundsTest, EachSoundPlaysOncePerChange) {
  SatelliteSounds sounds = Sounds(2);
  EXPECT_TRUE(sounds.SatFixRegained(kGga));
  EXPECT_FALSE(sounds.SatFixRegained(kRmc));
  EXPECT_FALSE(sounds.SatFixLost(kGga));
  EXPECT_TRUE(sounds.SatFixLost(kGga));
  EXPECT_FALSE(sounds.SatFixLost(kGga));
  EXPECT_FALSE(sounds.SatFixLost(kForceSatSound));
  EXPECT_TRUE(sounds.SatFixRegained(kGga));
  EXPECT_EQ(sounds.lastSound(), SatelliteSounds::LastSound::kFix);
  EXPECT_EQ(player_.Played(), (std::vector<std::string>{fixFile_, lostFile_, fixFile_}));
}

TEST_F(SatelliteSoundsTest, ThresholdCountsEachSentenceTypeOnItsOwn) {
  SatelliteSounds sounds = Sounds(3);
  EXPECT_FALSE(sounds.SatFixLost(kGga));
  EXPECT_FALSE(sounds.SatFixLost(kGga));
  EXPECT_FALSE(sounds.SatFixLost(kRmc));
  EXPECT_TRUE(sounds.SatFixLost(kGga));
  EXPECT_FALSE(sounds.SatFixLost(kGga));
  EXPECT_EQ(player_.Played(), std::vector<std::string>{lostFile_});
  // Held at the threshold while the source stays bad.
  EXPECT_EQ(sounds.badGgaCount(), 3);
  EXPECT_EQ(sounds.badRmcCount(), 3);
}

TEST_F(SatelliteSoundsTest, AGoodSentenceStartsTheCountAgain) {
  SatelliteSounds sounds = Sounds(3);
  sounds.SatFixLost(kGga);
  sounds.SatFixLost(kGga | kRmc);
  sounds.SatFixRegained(kGga);
  EXPECT_EQ(sounds.badGgaCount(), 0);
  EXPECT_EQ(sounds.badRmcCount(), 0);
  EXPECT_FALSE(sounds.SatFixLost(kGga));
  EXPECT_FALSE(sounds.SatFixLost(kGga));
  EXPECT_TRUE(sounds.SatFixLost(kGga));
}

TEST_F(SatelliteSoundsTest, SentencesOfOtherTypesAreNotCounted) {
  SatelliteSounds sounds = Sounds(1);
  EXPECT_FALSE(sounds.SatFixLost(gps::kSentenceVtg));
  EXPECT_FALSE(sounds.SatFixLost(0));
  EXPECT_TRUE(sounds.SatFixLost(kRmc));
}

TEST_F(SatelliteSoundsTest, SwitchedOffOnlyTheForcedSoundsPlay) {
  SatelliteSounds sounds = Sounds(0);
  EXPECT_FALSE(sounds.SatFixRegained(kGga));
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(sounds.SatFixLost(kGga | kRmc));
  EXPECT_TRUE(player_.requests.empty());

  EXPECT_TRUE(sounds.SatFixLost(kForceSatSound));
  EXPECT_TRUE(sounds.SatFixRegained(kForceSatSound));
  EXPECT_EQ(player_.Played(), (std::vector<std::string>{lostFile_, fixFile_}));
}

TEST_F(SatelliteSoundsTest, MissingConfiguredFilesPlayTheSystemSounds) {
  settings_.satFixWAVFile = ".NoFix";
  settings_.satLostWAVFile = ".NoLost";
  SatelliteSounds sounds = Sounds(2);
  sounds.SatFixRegained(kGga);
  EXPECT_EQ(sounds.lastPath(), kInfoBeginSound);
  sounds.SatFixLost(kForceSatSound);
  EXPECT_EQ(sounds.lastPath(), kInfoEndSound);
  EXPECT_EQ(player_.Played(), (std::vector<std::string>{System(kInfoBeginSound), System(kInfoEndSound)}));
}

}  // namespace
}  // namespace warner
