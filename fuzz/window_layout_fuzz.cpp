// Any bytes as a pop-up window layout file: the layouts must keep their limits, and every window
// must be fillable from a fix of any values without a fault.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "warner/display/popup_content.h"
#include "warner/display/popup_layout.h"
#include "warner/display/popup_set.h"

namespace {

using namespace warner::display;

size_t Characters(std::string_view text) {
  size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// A fix whose numbers come from the input's first bytes, so extremes meet every format.
DisplayInputs InputsFrom(const uint8_t* data, size_t size) {
  DisplayInputs in;
  double values[6] = {};
  std::memcpy(values, data, std::min(size, sizeof values));
  in.fix.speedKmh = values[0];
  in.fix.course = values[1];
  in.fix.altitude = values[2];
  in.fix.latitude = values[3];
  in.fix.hdop = values[4];
  in.announcementDistance = values[5];
  in.fix.hour = size > 0 ? data[0] : 0;
  in.timeZoneBiasMinutes = size > 1 ? static_cast<int8_t>(data[1]) * 1000 : 0;
  in.announcedPoiTracked = true;
  in.battery = {BatteryState::Source::kBattery, size > 2 ? data[2] : 0};
  return in;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<PopupLayout> layouts = ParseWindowLayouts(text, size > 0 ? data[0] - 128 : 10);
  if (layouts.size() > kMaxLayouts) std::abort();
  for (const PopupLayout& layout : layouts) {
    if (Characters(layout.name) > kMaxNameLength || Characters(layout.fontName) > kMaxFontNameLength ||
        Characters(layout.formatString) > kMaxFormatLength || Characters(layout.dimension) > kMaxDimensionLength ||
        Characters(layout.dimensionText) > kMaxDimensionLength || layout.fontWeight < 0 || layout.openTime == 0) {
      std::abort();
    }
  }
  PopupSet set(layouts);
  const DisplayInputs inputs = InputsFrom(data, size);
  set.Announce(0);
  set.Refresh(inputs, 0xFFFFFFF0u);
  set.RefreshAll(inputs);
  return 0;
}
