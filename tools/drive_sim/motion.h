#pragma once
// Drives a route second by second: where the car is, how fast and where to it heads, and what the
// receiver makes of it at each whole second.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/drive_sim/route.h"

namespace drive_sim {

inline constexpr double kEarthRadiusMetres = 6371008.8;  // mean radius
inline constexpr double kDefaultAcceleration = 2.0;      // m/s^2, up and down
inline constexpr size_t kMaxSamples = 1000000;           // about eleven and a half days

enum class ReceiverState { kFix, kNoFix, kSilent };

struct DriveSample {
  int64_t utcSeconds = 0;
  double latitude = 0.0;   // exact to 1e-7 degree
  double longitude = 0.0;  // -180 <= longitude < 180
  double speedKmh = 0.0;
  double course = 0.0;  // degrees true, 0 <= course < 360
  double altitude = 0.0;
  ReceiverState receiver = ReceiverState::kFix;
};

struct MotionOptions {
  // Speed changes at this rate, braking in time for stops and lower speeds ahead; 0 jumps.
  double acceleration = kDefaultAcceleration;
};

// One sample per second from the route's start until the car stands at the last waypoint (and
// any receiver outage running then has ended). False with a message when the drive cannot be
// made (a leg between antipodes, a drive longer than kMaxSamples seconds).
bool SimulateDrive(const Route& route, const MotionOptions& options, std::vector<DriveSample>& samples,
                   std::string& message);

// Haversine, degrees in: exact to the centimetre, where the car stops at a leg's end.
double DistanceMetres(double lat1, double lon1, double lat2, double lon2);

}  // namespace drive_sim
