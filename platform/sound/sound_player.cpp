#include "platform/sound/sound_player.h"

#include <cstdio>
#include <cstdlib>

#include "platform/sound/audio_thread_player.h"
#include "platform/sound/silent_sound_players.h"

namespace platform {

namespace {
constexpr std::string_view kRecordPrefix = "record:";
}

void TraceToStandardError(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

std::unique_ptr<SoundPlayer> CreateSoundPlayer(std::string_view setting, const SoundTrace& trace) {
  if (setting.empty() || setting == "alsa") {
    return std::make_unique<AudioThreadPlayer>(CreateAlsaPcmOutput(), trace);
  }
  if (setting == "null") return std::make_unique<NullSoundPlayer>();
  if (setting.starts_with(kRecordPrefix) && setting.size() > kRecordPrefix.size()) {
    return std::make_unique<RecordingSoundPlayer>(std::string(setting.substr(kRecordPrefix.size())), trace);
  }
  trace("sound: DW_SOUND=\"" + std::string(setting) + "\" is none of alsa, null, record:<file>; no sound is played");
  return std::make_unique<NullSoundPlayer>();
}

std::unique_ptr<SoundPlayer> CreateSoundPlayerFromEnvironment() {
  const char* setting = std::getenv("DW_SOUND");
  return CreateSoundPlayer(setting != nullptr ? setting : "");
}

}  // namespace platform
