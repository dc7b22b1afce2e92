#include "warner/core/alarm/sound_test.h"

#include <string_view>

#include "platform/text/text.h"
#include "warner/core/alarm/alarm_output.h"
#include "warner/core/database/poi_database.h"
#include "warner/core/settings/warner_settings.h"

namespace warner {

namespace {

constexpr const char* kPlayedFormat = "Sound '%s'\nComplete path: '%s' was played as:\n'%s'\n%s";
constexpr const char* kNextSound = "Next Sound?";
constexpr const char* kNoBitmap = "\nNo BMP file found\nNext Sound?";
constexpr const char* kBitmapError = "\nError loading BMP file: '%s'\nNext Sound?";

// The configured sounds; false when the user wants no more.
bool WalkConfiguredSounds(const WarnerSettings& settings, platform::SoundPlayer& player, platform::Reporter& reporter,
                          int& played) {
  for (const SoundEvent event :
       {SoundEvent::kSpeedAlarm, SoundEvent::kSatFixRegained, SoundEvent::kSatFixLost, SoundEvent::kKeyStroke}) {
    const std::string& name = SoundEventName(event, settings);
    if (event == SoundEvent::kSpeedAlarm ? settings.speedsToAverage <= 0 : name.empty()) continue;
    SoundPaths paths;
    PlaySoundEvent(player, settings, event, paths);
    ++played;
    if (!reporter.AskYesNo(kPlayedFormat, name.c_str(), paths.resolvedPath.c_str(), paths.path.c_str(), kNextSound)) {
      return false;
    }
  }
  return true;
}

// One category: its bitmap (or text) in the window, its sound, the question. False for "No".
bool ShowCategory(std::string_view categoryText, const WarnerSettings& settings, platform::SoundPlayer& player,
                  platform::Reporter& reporter, SoundTestWindow& window) {
  window.ShowCleared();
  const std::string bitmap = PoiBitmapPath(categoryText, settings.programFolder);
  std::string tail;
  if (bitmap.empty()) {
    window.ShowText(AnnouncementText(categoryText));
    tail = kNoBitmap;
  } else if (window.ShowBitmap(bitmap)) {
    tail = kNextSound;
  } else {
    tail = platform::FormatMessage520(kBitmapError, bitmap.c_str());
  }

  SoundPaths paths;
  PlaySoundEvent(player, settings, SoundEvent::kPoiAnnouncement, paths, categoryText);
  const std::string name = platform::Cp1252ToUtf8(categoryText);
  const bool next =
      reporter.AskYesNo(kPlayedFormat, name.c_str(), paths.resolvedPath.c_str(), paths.path.c_str(), tail.c_str());
  window.Hide();
  return next;
}

}  // namespace

int RunSoundTest(const WarnerSettings& settings, PoiDatabase& database, platform::SoundPlayer& player,
                 platform::Reporter& reporter, SoundTestWindow& window) {
  int played = 0;
  if (!WalkConfiguredSounds(settings, player, reporter, played)) return played;

  if (database.ActivatePoiDatabase(settings.logSntFileMissing) != 0) return played;
  for (const std::string_view categoryText : database.CategoryTexts()) {
    ++played;
    if (!ShowCategory(categoryText, settings, player, reporter, window)) break;
  }
  database.UnloadPoiDatabase();
  return played;
}

}  // namespace warner
