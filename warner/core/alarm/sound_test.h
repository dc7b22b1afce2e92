#pragma once
// The main window's sound test: every configured sound, then every category sound of the database
// with its bitmap, each confirmed by the user before the next one plays.

#include <string>

#include "platform/reports/reporter.h"
#include "platform/sound/sound_player.h"

namespace warner {

class PoiDatabase;
struct WarnerSettings;

// The announcement window as the sound test drives it. The display windows implement it; this
// base class stands for "no window" and does nothing.
class SoundTestWindow {
 public:
  virtual ~SoundTestWindow() = default;
  // Shows the window empty.
  virtual void ShowCleared() {}
  // Loads `path` (programs' form) into the window; false when it cannot be loaded.
  virtual bool ShowBitmap(const std::string& /*path*/) { return true; }
  // Shows the announcement text (UTF-8) instead of a bitmap.
  virtual void ShowText(const std::string& /*text*/) {}
  virtual void Hide() {}
};

// Plays the speed alarm (when SpeedsToAverage is above 0) and the configured fix, lost and key
// sounds, then loads the database and plays each category sound with its bitmap, asking "Next
// Sound?" after each one; "No" ends the test. The database is unloaded at the end; the caller runs
// this only while the warner is inactive. Returns how many sounds were played.
int RunSoundTest(const WarnerSettings& settings, PoiDatabase& database, platform::SoundPlayer& player,
                 platform::Reporter& reporter, SoundTestWindow& window);

}  // namespace warner
