#pragma once
// The main window's two up-down spins: the speed limit in the unit of SpeedLimitDimension and the
// watch angle in degrees.

#include <string>

namespace warner {

// One up-down change: the shown value minus the spin's delta; with a delta of more than 1 (an
// accelerated spin) moved up to the next multiple of it; then clamped to 0..maximum.
int SpinStep(int shown, int delta, int maximum);

inline constexpr int kWatchAngleMaximum = 360;

// "%d%s" with the unit label ("km/h", "mph", "kn", "m/sec").
std::string SpeedLimitText(int value, int speedUnit);
// "%d°".
std::string WatchAngleText(int degrees);

}  // namespace warner
