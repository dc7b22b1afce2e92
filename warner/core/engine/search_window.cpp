#include "warner/core/engine/search_window.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "warner/core/engine/engine_constants.h"

namespace warner {
namespace {

// Covers the rounding of the law of cosines near short distances (about 0.1 m at worst) and
// of the coordinates to whole 1e-5 degree units.
constexpr double kMarginMetres = 5.0;
constexpr int64_t kUnitsPerDegree = 100000;
constexpr int64_t kUnitsAroundGlobe = 360 * kUnitsPerDegree;

// First index whose longitude is at least `units` (records sorted by longitude).
int32_t FirstAtOrEast(const PoiSource& source, int32_t count, int64_t units) {
  int32_t low = 0, high = count;
  while (low < high) {
    const int32_t middle = low + (high - low) / 2;
    if (source.Record(middle).longitude < units) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

// First index whose longitude lies east of `units`.
int32_t FirstEastOf(const PoiSource& source, int32_t count, int64_t units) {
  return units == std::numeric_limits<int64_t>::max() ? count : FirstAtOrEast(source, count, units + 1);
}

void AddRange(SearchWindow& window, int32_t begin, int32_t end) {
  if (begin < end) window.ranges[static_cast<size_t>(window.count++)] = {begin, end};
}

}  // namespace

SearchWindow FindSearchWindow(const PoiSource& source, double longitude, double latitude, double radiusMetres) {
  SearchWindow window;
  const int32_t count = source.RecordCount();
  if (count <= 0 || !std::isfinite(longitude) || !std::isfinite(latitude) || std::isnan(radiusMetres)) {
    return window;
  }
  // No receiver reports this; search everything rather than compute bands from it.
  if (std::fabs(latitude) > 90.0 || std::fabs(longitude) > 360.0) return EveryRecord(source);
  // Beyond half the globe every record is within reach anyway.
  const double reach = std::min((std::max(radiusMetres, 0.0) + kMarginMetres) / kMetresPerDegree, 180.0);
  window.south = static_cast<int64_t>(std::floor((latitude - reach) * kUnitsPerDegree));
  window.north = static_cast<int64_t>(std::ceil((latitude + reach) * kUnitsPerDegree));
  const double topLatitude = std::fabs(latitude) + reach;
  const double halfWidth = topLatitude < 90.0 ? reach / std::cos(topLatitude * kRadiansPerDegree) : 360.0;
  if (halfWidth >= 180.0) {
    AddRange(window, 0, count);
    return window;
  }
  const auto west = static_cast<int64_t>(std::floor((longitude - halfWidth) * kUnitsPerDegree));
  const auto east = static_cast<int64_t>(std::ceil((longitude + halfWidth) * kUnitsPerDegree));
  constexpr int64_t kWestEnd = -180 * kUnitsPerDegree, kEastEnd = 180 * kUnitsPerDegree;
  // Across the meridian the band goes on at the other end of the sorted records.
  if (west < kWestEnd) AddRange(window, FirstAtOrEast(source, count, west + kUnitsAroundGlobe), count);
  AddRange(window, FirstAtOrEast(source, count, west), FirstEastOf(source, count, east));
  if (east > kEastEnd) AddRange(window, 0, FirstEastOf(source, count, east - kUnitsAroundGlobe));
  if (window.count == 2 && window.ranges[0].begin > window.ranges[1].begin) {
    std::swap(window.ranges[0], window.ranges[1]);
  }
  return window;
}

SearchWindow EveryRecord(const PoiSource& source) {
  SearchWindow window;
  window.south = std::numeric_limits<int64_t>::min();
  window.north = std::numeric_limits<int64_t>::max();
  if (source.RecordCount() > 0) AddRange(window, 0, source.RecordCount());
  return window;
}

}  // namespace warner
