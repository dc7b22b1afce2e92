#pragma once
// The warner's sounds: every sound goes through PlayNamedSound, which turns a configured name into
// a file, falls back to the event's system sound when that file is missing or cannot be played,
// and plays asynchronously, so a new sound cuts the one playing and no caller ever waits.

#include <string>
#include <string_view>

#include "platform/sound/sound_player.h"

namespace warner {

struct WarnerSettings;

// The system sounds, in the programs' path form (they live under the system root).
inline constexpr const char* kAlarmSound = "\\Windows\\Alarm1.wav";
inline constexpr const char* kInfoBeginSound = "\\Windows\\Infbeg.wav";
inline constexpr const char* kInfoEndSound = "\\Windows\\Infend.wav";
inline constexpr const char* kMenuPopSound = "\\Windows\\MenuPop.wav";

// What ResolveSoundPath reports as the resolved path of an empty name.
inline constexpr const char* kNoSoundName = "NULL";

// Settings names are UTF-8; category texts of the database are the file's Windows-1252 bytes.
enum class NameCoding { kUtf8, kCp1252 };

// The outcome of resolving or playing one name.
struct SoundPaths {
  std::string path;          // the file played (or to be played), programs' form
  std::string resolvedPath;  // what the name itself resolved to, kNoSoundName for no name
};

// Turns `name` into a sound file path with the category path rules ("Sounds\\", ".wav"; a leading
// "." means the program's Sounds folder). Returns the path's length in characters when that file
// exists; otherwise the path becomes `fallback` (kAlarmSound for an empty fallback) and the
// result is -1.
int ResolveSoundPath(std::string_view name, std::string_view programFolder, std::string_view fallback,
                     SoundPaths& paths, NameCoding coding = NameCoding::kUtf8);

// Resolves and plays `name`. A name whose file is missing or is no sound plays `fallback`; when
// that cannot be played either, kAlarmSound. `paths.path` names the file that was handed to the
// player last. Returns the path's length when the name's own file plays, -1 when a fallback was
// used (whether or not it could be played).
int PlayNamedSound(platform::SoundPlayer& player, std::string_view name, std::string_view programFolder,
                   std::string_view fallback, SoundPaths& paths, NameCoding coding = NameCoding::kUtf8);

// The warner's sound events and where their names come from.
enum class SoundEvent { kPoiAnnouncement, kSpeedAlarm, kSatFixRegained, kSatFixLost, kKeyStroke };

// The sound that plays when the event's configured file is missing.
const char* SoundEventFallback(SoundEvent event);
// The configured name of an event; the announcement has none (its name is the POI's category
// text), so it gives "".
const std::string& SoundEventName(SoundEvent event, const WarnerSettings& settings);

// Plays an event's configured sound with its fallback (the announcement: `categoryText` as name).
int PlaySoundEvent(platform::SoundPlayer& player, const WarnerSettings& settings, SoundEvent event, SoundPaths& paths,
                   std::string_view categoryText = {});

// Writes the four system sounds under the system root's Windows folder when they are missing; a
// file that exists already is never touched. Returns how many files were written, or -1 with the
// last error set when the folder or a file could not be written (files written before stay).
int EnsureSystemSounds();

}  // namespace warner
