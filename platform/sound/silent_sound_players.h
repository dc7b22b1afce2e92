#pragma once
// Players for machines and tests without sound: they check each file as the real player does.

#include <string>

#include "platform/sound/sound_player.h"

namespace platform {

// Checks the file and makes no sound.
class NullSoundPlayer final : public SoundPlayer {
 public:
  bool Play(const std::string& linuxPath) override;
  void Stop() override {}
};

// Checks the file and appends "<milliseconds since 1970> play <path>\n" to a record file for each
// sound that would play. Each line is one append of its own, so several processes may share the
// file. Line breaks inside a path are written as \n and \r, keeping one request per line.
class RecordingSoundPlayer final : public SoundPlayer {
 public:
  RecordingSoundPlayer(std::string recordPath, SoundTrace trace);
  bool Play(const std::string& linuxPath) override;
  void Stop() override {}

 private:
  void Append(const std::string& line) const;

  const std::string recordPath_;
  const SoundTrace trace_;
};

}  // namespace platform
