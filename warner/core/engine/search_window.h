#pragma once
// The records that can lie within a radius of a position: the longitude band that a circle of that
// radius covers at the highest latitude it reaches, found by binary search in the records (sorted
// by longitude), split in two where the band crosses the 180 degree meridian.

#include <array>
#include <cstdint>

#include "warner/core/engine/poi_source.h"

namespace warner {

struct IndexRange {
  int32_t begin = 0;  // first index
  int32_t end = 0;    // one past the last index
};

struct SearchWindow {
  std::array<IndexRange, 2> ranges{};  // in ascending index order, never overlapping
  int count = 0;                       // ranges in use
  // Records outside these latitudes (1e-5 degree units) are too far north or south to be within
  // the radius, whatever their longitude: a cheap test before the distance.
  int64_t south = 0, north = 0;
};

// Degrees (north and east positive) and metres. A window that reaches a pole, or a band wider than
// half the globe, is the whole source; a position that is not a number has an empty window.
SearchWindow FindSearchWindow(const PoiSource& source, double longitude, double latitude, double radiusMetres);
// The whole source, no latitude bound: what a test of every record searches.
SearchWindow EveryRecord(const PoiSource& source);

}  // namespace warner
