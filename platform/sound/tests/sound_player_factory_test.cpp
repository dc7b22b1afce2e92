#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/sound/audio_thread_player.h"
#include "platform/sound/silent_sound_players.h"
#include "platform/sound/sound_player.h"
#include "platform/sound/tests/wav_files.h"
#include "platform/testing/system_root.h"

namespace platform {
namespace {

template <class Player>
bool Is(const std::unique_ptr<SoundPlayer>& player) {
  return dynamic_cast<Player*>(player.get()) != nullptr;
}

// Sets DW_SOUND for one test and puts the old value back afterwards.
class SoundEnvironment : public ::testing::Test {
 private:
  const testing::ScopedEnv saved_{"DW_SOUND", "null"};
};

TEST_F(SoundEnvironment, SelectsThePlayerByDwSound) {
  unsetenv("DW_SOUND");
  EXPECT_TRUE(Is<AudioThreadPlayer>(CreateSoundPlayerFromEnvironment()));
  setenv("DW_SOUND", "alsa", 1);
  EXPECT_TRUE(Is<AudioThreadPlayer>(CreateSoundPlayerFromEnvironment()));
  setenv("DW_SOUND", "null", 1);
  EXPECT_TRUE(Is<NullSoundPlayer>(CreateSoundPlayerFromEnvironment()));
}

TEST_F(SoundEnvironment, RecordSettingNamesTheRecordFile) {
  testing::SoundFolder folder;
  const std::string sound = folder.Sine("s.wav", 0.05);
  setenv("DW_SOUND", ("record:" + folder.Path("played.txt")).c_str(), 1);
  const auto player = CreateSoundPlayerFromEnvironment();
  ASSERT_TRUE(Is<RecordingSoundPlayer>(player));
  ASSERT_TRUE(player->Play(sound));
  std::string line;
  std::getline(std::ifstream(folder.Path("played.txt")), line);
  EXPECT_NE(line.find(" play " + sound), std::string::npos) << line;
}

TEST(SoundPlayerFactory, AnUnknownSettingIsTracedAndPlaysNothing) {
  for (const char* setting : {"nul", "record:", "ALSA"}) {
    std::vector<std::string> traces;
    const auto player = CreateSoundPlayer(setting, [&](const std::string& text) { traces.push_back(text); });
    EXPECT_TRUE(Is<NullSoundPlayer>(player)) << setting;
    ASSERT_EQ(traces.size(), 1u) << setting;
    EXPECT_NE(traces[0].find(setting), std::string::npos) << traces[0];
  }
}

}  // namespace
}  // namespace platform
