#include "warner/app/spins.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "warner/gps/conversions.h"

namespace warner {

int SpinStep(int shown, int delta, int maximum) {
  // In long arithmetic: a delta of INT_MIN or a shown value at the edge must not overflow.
  long long value = static_cast<long long>(shown) - delta;
  const long long step = std::llabs(static_cast<long long>(delta));
  if (step > 1) {
    const long long rest = ((value % step) + step) % step;
    if (rest != 0) value += step - rest;
  }
  return static_cast<int>(std::clamp<long long>(value, 0, maximum));
}

std::string SpeedLimitText(int value, int speedUnit) {
  char text[32];
  std::snprintf(text, sizeof text, "%d%s", value, gps::SpeedUnitLabel(speedUnit));
  return text;
}

std::string WatchAngleText(int degrees) {
  char text[32];
  std::snprintf(text, sizeof text, "%d\u00b0", degrees);
  return text;
}

}  // namespace warner
