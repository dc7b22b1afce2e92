#pragma once
// The programs' only way to make a sound: play a file asynchronously, a new sound cutting the one
// playing. DW_SOUND picks what "playing" means: unset or "alsa" plays through the ALSA "default"
// device, "null" only checks the file, "record:<file>" also writes each play request to that file.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// Receives a text about a failure that does not fail the call (no sound device, say).
using SoundTrace = std::function<void(const std::string&)>;

// Plays sound files without blocking the caller. Play and Stop may be called from any thread.
class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // False at once, with the last error set (kErrorFileNotFound for a missing file or a folder,
  // kErrorInvalidData for a file that is no sound), when the file cannot be opened or decoded;
  // otherwise true, and the sound plays in the background.
  virtual bool Play(const std::string& linuxPath) = 0;
  virtual void Stop() = 0;
};

// Writes each trace as a line on the standard error stream.
void TraceToStandardError(const std::string& text);

// The player for a DW_SOUND value; an unknown value is traced and gives the "null" player.
std::unique_ptr<SoundPlayer> CreateSoundPlayer(std::string_view setting,
                                               const SoundTrace& trace = TraceToStandardError);
std::unique_ptr<SoundPlayer> CreateSoundPlayerFromEnvironment();

}  // namespace platform
