#pragma once
// The engine's figures: the spherical earth it measures on, its margins and its table sizes.

#include <cstddef>

namespace warner {

inline constexpr double kEarthRadiusMetres = 6371014.0;
inline constexpr double kMetresPerDegree = 111195.17099065402;  // kEarthRadiusMetres x pi / 180
inline constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
inline constexpr double kDegreesPerRadian = 180.0 / 3.14159265358979323846;
inline constexpr double kRadiansPerPoiUnit = kRadiansPerDegree * 1e-5;
inline constexpr double kMetresPerSecondPerKmh = 0.2777777777777778;
inline constexpr double kDefaultWarningMetres = 200.0;
inline constexpr double kDropFactor = 1.2;
inline constexpr double kNoWatchAngle = 0.01;  // below it, no direction tests at all

inline constexpr size_t kMaxCandidates = 40;
inline constexpr size_t kMaxTrackedPois = 40;
inline constexpr size_t kFixHistorySize = 10;
inline constexpr int kMaxSpeedsToAverage = 10;

inline constexpr char kFallbackSound[] = "\\Windows\\Alarm1.wav";

}  // namespace warner
