#pragma once
// A drive described as text: a start time, waypoints with the speed driven from each on, and
// what happens at a waypoint (the car stands, the receiver falls silent or loses its fix).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace drive_sim {

inline constexpr double kDefaultSpeedKmh = 50.0;
inline constexpr double kDefaultAltitude = 500.0;
inline constexpr double kMaxSpeedKmh = 1000.0;
inline constexpr int kMaxEventSeconds = 86400;
// 2024-06-01 08:00:00 UTC, used when neither the route nor the command line names a start.
inline constexpr int64_t kDefaultStartUtc = 1717228800;

struct Waypoint {
  double longitude = 0.0;              // degrees, east positive
  double latitude = 0.0;               // degrees, north positive
  double speedKmh = kDefaultSpeedKmh;  // driven from this waypoint to the next
  double altitude = kDefaultAltitude;  // metres above sea level at this waypoint
  int line = 0;
};

enum class EventKind {
  kStop,   // the car stands at the waypoint, speed 0
  kPause,  // the receiver sends nothing while the car goes on
  kNoFix,  // the receiver sends sentences without a position while the car goes on
};

// Happens when the car reaches the waypoint it follows (the first one when written before any).
struct RouteEvent {
  EventKind kind = EventKind::kStop;
  int seconds = 0;
  size_t waypoint = 0;
  int line = 0;
};

struct Route {
  int64_t startUtc = kDefaultStartUtc;  // seconds since 1970-01-01 00:00:00 UTC
  bool hasStart = false;
  std::vector<Waypoint> waypoints;
  std::vector<RouteEvent> events;  // in the order written
};

struct RouteError {
  int line = 0;  // 0: the route as a whole
  std::string message;
};

// Reads a route text. On failure returns false with the first bad line and what is wrong with it.
bool ParseRoute(std::string_view text, Route& route, RouteError& error);

// "YYYY-MM-DD hh:mm:ss" (or with a 'T' between date and time) as UTC, years 1970..2099.
bool ParseUtc(std::string_view text, int64_t& utcSeconds);

struct CivilTime {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
int64_t ToUtcSeconds(const CivilTime& t);
CivilTime FromUtcSeconds(int64_t utcSeconds);

}  // namespace drive_sim
