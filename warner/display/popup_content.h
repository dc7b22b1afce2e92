#pragma once
// What each pop-up window shows, as plain data computed from a snapshot of the warner's state, so
// that the windows only paint it.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/power/power_status.h"
#include "warner/display/popup_layout.h"
#include "warner/gps/gps_fix.h"

namespace warner::display {

// The state the status icon stands for, as the PSNT window colours it.
enum class SatelliteState { kNoFix, kFix, kOther };

// The power state as the BATT window tells it.
struct BatteryState {
  enum class Source { kUnknown, kMains, kBackup, kFullOnBattery, kBattery };
  Source source = Source::kUnknown;
  int percent = -1;  // kBattery: the charge left
};

// The machine's power as the BATT window tells it. A Linux machine has no backup battery.
BatteryState BatteryFromPower(const platform::PowerStatus& power);

// Everything the windows show, copied under the fix lock.
struct DisplayInputs {
  gps::GpsFix fix;
  std::string announcementText;       // the last announcement's text
  std::string announcementBitmap;     // its bitmap file, empty when none
  double announcementDistance = 0.0;  // metres, negative when the POI is not ahead
  bool announcedPoiTracked = false;
  int trafficMessageCount = 0;
  std::string stationText;
  BatteryState battery;
  SatelliteState satellite = SatelliteState::kOther;
  bool displayLongitudeFirst = false;
  int timeZoneBiasMinutes = 0;  // UTC minus local time, daylight saving included
};

// One window's picture. Colours are 0x00BBGGRR.
struct PopupContent {
  std::string text;  // with its line breaks; drawn when there is no bitmap or it cannot be loaded
  uint32_t background = 255;
  uint32_t textColour = 0;
  std::string bitmapPath;             // empty: none
  std::optional<double> needleAngle;  // course in degrees; the needle turns by minus it
  int textAlign = kAlignRight;        // TextAlignBits
  bool visible = true;                // false: the window is hidden

  bool operator==(const PopupContent&) const = default;
};

// The empty picture a window starts with: its first colours, a needle for HEAD and DIRC.
PopupContent BlankContent(const PopupLayout& layout);

// The picture of a refreshed window. Windows that are never filled get their blank content.
PopupContent ComputeContent(const PopupLayout& layout, const DisplayInputs& inputs);

}  // namespace warner::display
