#pragma once
// The names that the program mode selects and that the settings, database and traffic modules do
// not already hold (GlobalSettingsFileName, MainWindowValuesFileName, WindowLayoutFileName,
// DatabaseFileName, TrafficLogPath and the current-position file of the settings).

#include "warner/core/settings/warner_settings.h"

namespace warner {

struct ProgramModeNames {
  const char* title;           // the main window's
  const char* recordsFile;     // position records
  const char* favouritesFile;  // favourites of the surroundings search
};

inline const ProgramModeNames& NamesOf(ProgramMode mode) {
  static constexpr ProgramModeNames kSentry{"POI Sentry", "SntRec.ASC", "SntFav.ASC"};
  static constexpr ProgramModeNames kRover{"POI Rover", "RvrRec.ASC", "RvrFav.ASC"};
  return mode == ProgramMode::kRover ? kRover : kSentry;
}

}  // namespace warner
