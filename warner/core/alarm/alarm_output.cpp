#include "warner/core/alarm/alarm_output.h"

#include "platform/paths/paths.h"
#include "platform/text/text.h"
#include "warner/core/database/poi_database.h"
#include "warner/core/settings/warner_settings.h"

namespace warner {

namespace {

int CharCount(std::string_view utf8) {
  int count = 0;
  for (const char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

// The path rules work on the database's single-byte text. A settings name with a character that
// code page lacks keeps a '?' in its place, which names no file the handheld could hold, so such a
// name falls back like a missing file.
std::string CategoryBytes(std::string_view name, NameCoding coding) {
  if (coding == NameCoding::kCp1252) return std::string(name);
  return platform::Utf8ToCp1252(name);
}

bool PlayFile(platform::SoundPlayer& player, std::string_view path) { return player.Play(platform::ToLinuxPath(path)); }

}  // namespace

int ResolveSoundPath(std::string_view name, std::string_view programFolder, std::string_view fallback,
                     SoundPaths& paths, NameCoding coding) {
  // The path names what will play: with no name (or a missing file) that is the fallback.
  const std::string_view fallbackPath = fallback.empty() ? std::string_view(kAlarmSound) : fallback;
  if (name.empty()) {
    paths.resolvedPath = kNoSoundName;
    paths.path = fallbackPath;
    return -1;
  }
  paths.resolvedPath = CategoryFilePath(CategoryBytes(name, coding), programFolder, "Sounds\\", ".wav");
  if (paths.resolvedPath.empty() || !platform::FileExists(paths.resolvedPath)) {
    paths.path = fallbackPath;
    return -1;
  }
  paths.path = paths.resolvedPath;
  return CharCount(paths.path);
}

int PlayNamedSound(platform::SoundPlayer& player, std::string_view name, std::string_view programFolder,
                   std::string_view fallback, SoundPaths& paths, NameCoding coding) {
  const int length = ResolveSoundPath(name, programFolder, fallback, paths, coding);
  if (length >= 0) {
    if (PlayFile(player, paths.path)) return length;
    // An existing file that is no sound must not leave the driver without any warning.
    paths.path = fallback.empty() ? std::string_view(kAlarmSound) : fallback;
  }
  if (PlayFile(player, paths.path)) return -1;
  if (paths.path != kAlarmSound) {
    paths.path = kAlarmSound;
    PlayFile(player, paths.path);
  }
  return -1;
}

const char* SoundEventFallback(SoundEvent event) {
  switch (event) {
    case SoundEvent::kSatFixRegained: return kInfoBeginSound;
    case SoundEvent::kSatFixLost: return kInfoEndSound;
    case SoundEvent::kKeyStroke: return kMenuPopSound;
    case SoundEvent::kPoiAnnouncement:
    case SoundEvent::kSpeedAlarm: break;
  }
  return kAlarmSound;
}

const std::string& SoundEventName(SoundEvent event, const WarnerSettings& settings) {
  static const std::string kNone;
  switch (event) {
    case SoundEvent::kSpeedAlarm: return settings.speedLimitWAVFile;
    case SoundEvent::kSatFixRegained: return settings.satFixWAVFile;
    case SoundEvent::kSatFixLost: return settings.satLostWAVFile;
    case SoundEvent::kKeyStroke: return settings.keyStrokeWAVFile;
    case SoundEvent::kPoiAnnouncement: break;
  }
  return kNone;
}

int PlaySoundEvent(platform::SoundPlayer& player, const WarnerSettings& settings, SoundEvent event, SoundPaths& paths,
                   std::string_view categoryText) {
  if (event == SoundEvent::kPoiAnnouncement) {
    return PlayNamedSound(player, categoryText, settings.programFolder, SoundEventFallback(event), paths,
                          NameCoding::kCp1252);
  }
  return PlayNamedSound(player, SoundEventName(event, settings), settings.programFolder, SoundEventFallback(event),
                        paths);
}

}  // namespace warner
