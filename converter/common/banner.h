#pragma once
// The converter's own name and version as its files and its console show them.

namespace converter {

inline constexpr const char* kBanner = "Placeforge V4.2.0.0";
// Written after "Compiled with " and the banner into the files that carry a producer text.
inline constexpr const char* kPublisherCredit = ", free POI tools of the driver-warner project";
inline constexpr const char* kCompiledWith = "Compiled with ";

}  // namespace converter
