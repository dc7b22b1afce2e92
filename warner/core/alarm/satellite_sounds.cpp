#include "warner/core/alarm/satellite_sounds.h"

#include <algorithm>

#include "warner/core/alarm/alarm_output.h"
#include "warner/core/settings/warner_settings.h"
#include "warner/gps/gps_fix.h"

namespace warner {

SatelliteSounds::SatelliteSounds(platform::SoundPlayer& player, const WarnerSettings& settings)
    : player_(player),
      programFolder_(settings.programFolder),
      threshold_(settings.playSatFixSound),
      fixName_(settings.satFixWAVFile),
      lostName_(settings.satLostWAVFile) {}

void SatelliteSounds::Reset() {
  lastSound_ = LastSound::kNone;
  badGgaCount_ = 0;
  badRmcCount_ = 0;
}

bool SatelliteSounds::SatFixRegained(int sentenceType) {
  badGgaCount_ = 0;
  badRmcCount_ = 0;
  const bool wanted = sentenceType == kForceSatSound || threshold_ != 0;
  if (!wanted || lastSound_ == LastSound::kFix) return false;
  Play(fixName_, kInfoBeginSound);
  lastSound_ = LastSound::kFix;
  return true;
}

bool SatelliteSounds::SatFixLost(int typeBits) {
  bool wanted = false;
  if (typeBits == kForceSatSound) {
    wanted = true;
  } else if (threshold_ != 0) {
    if ((typeBits & gps::kSentenceGga) != 0) ++badGgaCount_;
    if ((typeBits & gps::kSentenceRmc) != 0) ++badRmcCount_;
    wanted = badGgaCount_ >= threshold_ || badRmcCount_ >= threshold_;
    // Held at the threshold, so a source that stays bad for hours cannot overflow them.
    if (wanted) badGgaCount_ = badRmcCount_ = std::max(threshold_, 0);
  }
  if (!wanted || lastSound_ == LastSound::kLost) return false;
  Play(lostName_, kInfoEndSound);
  lastSound_ = LastSound::kLost;
  return true;
}

void SatelliteSounds::Play(const std::string& name, const char* fallback) {
  SoundPaths paths;
  PlayNamedSound(player_, name, programFolder_, fallback, paths);
  lastPath_ = paths.path;
}

}  // namespace warner
