#pragma once
// Where the warning engine's decisions go: sounds, pop-up windows, messages to other programs.
// The worker implements it on top of the alarm output and the windows; tests record the calls.

#include <cstdint>
#include <string_view>

#include "warner/gps/gps_fix.h"

namespace warner {

// One announcement, as the ANNO and ANDI windows show it.
struct Announcement {
  int32_t poiIndex = -1;
  std::string_view text;                     // UTF-8
  std::string_view bitmapPath;               // empty when the POI has no bitmap
  double signedDistance = 0;                 // metres, negative when the POI is not ahead
  double bearing = 0;                        // degrees
  int32_t hour = 0, minute = 0, second = 0;  // GPS time (UTC)
  int32_t openTimeMs = 0;                    // how long the windows stay open
};

class EngineOutput {
 public:
  virtual ~EngineOutput() = default;

  // Called under GpsFixLock: show and redraw the announcement windows.
  virtual void Announced(const Announcement& /*announcement*/) {}
  // The POI's sound named by its category text, `fallback` when that cannot be played.
  virtual void PlayPoiSound(int32_t /*poiIndex*/, std::string_view /*categoryText*/, std::string_view /*fallback*/) {}
  // A sound by its settings name, `fallback` when that cannot be played.
  virtual void PlaySound(std::string_view /*name*/, std::string_view /*fallback*/) {}
  virtual void SpeedAlarmRaised(double /*speedKmh*/) {}
  // Post the registered window message of that name (both parameters 0) to the main window.
  virtual void PostRegisteredMessage(std::string_view /*name*/) {}
  virtual void MessageFileWritten(std::string_view /*path*/, std::string_view /*line*/) {}
  // The fix about to be evaluated, for the current-position file.
  virtual void CurrentPositionDue(const gps::GpsFix& /*fix*/) {}
};

}  // namespace warner
