#include "platform/sound/silent_sound_players.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "platform/errors/errors.h"
#include "platform/sound/tests/wav_files.h"

namespace platform {
namespace {

using testing::SoundFolder;

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Every player checks a file the same way before it would play it.
TEST(SilentPlayers, RefuseWhatCannotBePlayedWithTheRightError) {
  SoundFolder folder;
  const std::string mono = folder.Sine("Alarm1.wav", 0.1);
  const std::string stereo = folder.Sine("Infbeg.wav", 0.1, 44100, 2);
  const std::string text = folder.Text("notes.wav", "this is no sound\n");
  const std::string empty = folder.Text("empty.wav", "");
  mkdir(folder.Path("Sounds").c_str(), 0755);
  mkfifo(folder.Path("pipe.wav").c_str(), 0644);  // opening it for reading must not block

  NullSoundPlayer null;
  RecordingSoundPlayer recording(folder.Path("record.txt"), [](const std::string&) {});
  for (SoundPlayer* player : std::initializer_list<SoundPlayer*>{&null, &recording}) {
    EXPECT_TRUE(player->Play(mono));
    EXPECT_TRUE(player->Play(stereo));
    const struct {
      std::string path;
      uint32_t error;
    } refused[] = {
        {folder.Path("missing.wav"), kErrorFileNotFound},
        {folder.Path("Sounds"), kErrorFileNotFound},
        {mono + "/inside.wav", kErrorPathNotFound},
        {text, kErrorInvalidData},
        {empty, kErrorInvalidData},
        {folder.Path("pipe.wav"), kErrorInvalidData},
    };
    for (const auto& [path, error] : refused) {
      SetLastError(kErrorSuccess);
      EXPECT_FALSE(player->Play(path)) << path;
      EXPECT_EQ(GetLastError(), error) << path;
    }
  }
}

TEST(RecordingPlayer, WritesOneTimedLinePerSoundInOrder) {
  SoundFolder folder;
  const std::string first = folder.Sine("first.wav", 0.1);
  const std::string second = folder.Sine("second.wav", 0.1);
  const std::string record = folder.Text("record.txt", "1 play earlier\n");
  RecordingSoundPlayer player(record, [](const std::string&) {});

  const long long before = NowMs();
  ASSERT_TRUE(player.Play(first));
  ASSERT_FALSE(player.Play(folder.Path("missing.wav")));
  ASSERT_TRUE(player.Play(second));
  ASSERT_TRUE(player.Play(first));
  const long long after = NowMs();

  const std::vector<std::string> lines = Lines(record);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "1 play earlier");
  const std::string expected[] = {first, second, first};
  for (size_t i = 0; i < 3; ++i) {
    std::istringstream fields(lines[i + 1]);
    long long ms = 0;
    std::string verb, path;
    fields >> ms >> verb;
    std::getline(fields >> std::ws, path);
    EXPECT_GE(ms, before);
    EXPECT_LE(ms, after);
    EXPECT_EQ(verb, "play");
    EXPECT_EQ(path, expected[i]);
  }
}

TEST(RecordingPlayer, APathWithALineBreakStaysOnOneLine) {
  SoundFolder folder;
  const std::string odd = folder.Sine("two\nlines.wav", 0.05);
  RecordingSoundPlayer player(folder.Path("record.txt"), [](const std::string&) {});
  ASSERT_TRUE(player.Play(odd));
  const std::vector<std::string> lines = Lines(folder.Path("record.txt"));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("two\\nlines.wav"), std::string::npos) << lines[0];
}

TEST(RecordingPlayer, AnUnwritableRecordFileIsTracedNotFatal) {
  SoundFolder folder;
  const std::string sound = folder.Sine("s.wav", 0.05);
  std::vector<std::string> traces;
  RecordingSoundPlayer player(folder.Path("no/such/folder/record.txt"),
                              [&](const std::string& text) { traces.push_back(text); });
  EXPECT_TRUE(player.Play(sound));
  ASSERT_EQ(traces.size(), 1u);
  EXPECT_NE(traces[0].find("no/such/folder/record.txt"), std::string::npos) << traces[0];
}

}  // namespace
}  // namespace platform
