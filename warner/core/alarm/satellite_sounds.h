#pragma once
// The sounds that tell the driver the GPS fix came back or went away.

#include <string>

#include "platform/sound/sound_player.h"

namespace warner {

struct WarnerSettings;

// Forces the sound in SatFixRegained and SatFixLost, whatever PlaySatFixSound says.
inline constexpr int kForceSatSound = -1;

// Plays the fix and lost sounds once per change of the fix state. A lost sound needs
// PlaySatFixSound bad sentences of one type (GGA or RMC) since the last good one, so a single
// garbled sentence does not alarm the driver; the worker forces it when the source falls silent.
//
// Owned by the worker and touched only on the worker thread, so it holds no lock. The worker
// constructs (or resets) it whenever it starts.
class SatelliteSounds {
 public:
  enum class LastSound { kNone = 0, kFix = 1, kLost = 2 };

  SatelliteSounds(platform::SoundPlayer& player, const WarnerSettings& settings);

  // Back to the start state: no sound played yet, both counters 0.
  void Reset();

  // A good sentence of `sentenceType` (or kForceSatSound). Clears the bad-sentence counters and
  // plays the fix sound unless it was the last one played. True when a sound was requested.
  bool SatFixRegained(int sentenceType);
  // A bad sentence of type bits `typeBits` (gps::kSentenceGga, gps::kSentenceRmc), or
  // kForceSatSound. True when the lost sound was requested.
  bool SatFixLost(int typeBits);

  LastSound lastSound() const { return lastSound_; }
  int badGgaCount() const { return badGgaCount_; }
  int badRmcCount() const { return badRmcCount_; }
  // The file handed to the player by the last sound requested.
  const std::string& lastPath() const { return lastPath_; }

 private:
  void Play(const std::string& name, const char* fallback);

  platform::SoundPlayer& player_;
  const std::string programFolder_;
  const int threshold_;  // PlaySatFixSound; 0 switches the sounds off
  const std::string fixName_;
  const std::string lostName_;

  LastSound lastSound_ = LastSound::kNone;
  int badGgaCount_ = 0;
  int badRmcCount_ = 0;
  std::string lastPath_;
};

}  // namespace warner
