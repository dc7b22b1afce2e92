#include "tools/drive_sim/motion.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "warner/gps/conversions.h"

namespace drive_sim {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kMaxSpeedMs = kMaxSpeedKmh / 3.6;
// Below this the car is at the leg's end: a course toward a point centimetres away is noise.
constexpr double kAtEndMetres = 0.01;
// Every second moves the car at least this far, so braking toward a stop always arrives.
constexpr double kMinStepMetres = 0.1;

struct Vec {
  double x, y, z;
};

Vec ToVec(double lat, double lon) {
  const double phi = lat * kDegree, lambda = lon * kDegree;
  return {std::cos(phi) * std::cos(lambda), std::cos(phi) * std::sin(lambda), std::sin(phi)};
}

double Round7(double degrees) { return std::round(degrees * 1e7) / 1e7; }

// -180 <= longitude < 180, so the 180th meridian always has the one spelling "W".
double WrapLongitude(double lon) {
  lon = std::fmod(lon + 180.0, 360.0);
  if (lon < 0.0) lon += 360.0;
  return lon - 180.0;
}

double Course(double degrees) {
  double c = std::fmod(degrees, 360.0);
  if (c < 0.0) c += 360.0;
  return c >= 360.0 ? 0.0 : c;
}

struct Leg {
  double latA, lonA, latB, lonB;
  Vec a, b;
  double angle;   // radians between the ends
  double length;  // metres
  double speed;   // m/s
  double altA, altB;
};

class Drive {
 public:
  Drive(const Route& route, const MotionOptions& options, std::vector<DriveSample>& samples)
      : route_(route), accel_(options.acceleration > 0.0 ? options.acceleration : 0.0), samples_(samples) {}

  bool Run(std::string& message) {
    if (!BuildLegs(message)) return false;
    const size_t last = route_.waypoints.size() - 1;
    stopAt_.assign(route_.waypoints.size(), false);
    stopAt_[last] = true;
    for (const RouteEvent& e : route_.events) {
      if (e.kind == EventKind::kStop && e.waypoint < stopAt_.size()) stopAt_[e.waypoint] = true;
    }
    if (!legs_.empty())
      lastCourse_ = Course(gps::InitialBearing(legs_[0].lonA, legs_[0].latA, legs_[0].lonB, legs_[0].latB));

    bool finished = !Arrive(0) || legs_.empty();
    while (!finished && !full_) {
      EmitMoving();
      finished = Advance();
    }
    if (!full_) {
      EmitStanding();
      while (!full_ && (t_ < silentUntil_ || t_ < noFixUntil_)) EmitStanding();
    }
    if (full_) {
      message = "the drive takes longer than " + std::to_string(kMaxSamples) + " seconds";
      return false;
    }
    return true;
  }

 private:
  bool BuildLegs(std::string& message) {
    const std::vector<Waypoint>& w = route_.waypoints;
    for (size_t i = 0; i + 1 < w.size(); ++i) {
      Leg leg{w[i].latitude, w[i].longitude,      w[i + 1].latitude, w[i + 1].longitude, {}, {}, 0.0,
              0.0,           w[i].speedKmh / 3.6, w[i].altitude,     w[i + 1].altitude};
      leg.a = ToVec(leg.latA, leg.lonA);
      leg.b = ToVec(leg.latB, leg.lonB);
      leg.angle = DistanceMetres(leg.latA, leg.lonA, leg.latB, leg.lonB) / kEarthRadiusMetres;
      // Between antipodes every great circle is as short as any other: the leg has no direction.
      if (leg.angle > std::numbers::pi - 1e-6) {
        message = "line " + std::to_string(w[i + 1].line) + ": the leg joins nearly opposite points of the earth";
        return false;
      }
      leg.length = leg.angle * kEarthRadiusMetres;
      legs_.push_back(leg);
    }
    return true;
  }

  // Runs what the route says happens at waypoint wp; false when the sample limit was hit.
  bool Arrive(size_t wp) {
    const std::vector<RouteEvent>& events = route_.events;
    for (; nextEvent_ < events.size() && events[nextEvent_].waypoint == wp; ++nextEvent_) {
      const RouteEvent& e = events[nextEvent_];
      switch (e.kind) {
        case EventKind::kStop:
          for (int i = 0; i < e.seconds && !full_; ++i) EmitStanding();
          break;
        case EventKind::kPause: silentUntil_ = std::max(silentUntil_, t_ + e.seconds); break;
        case EventKind::kNoFix: noFixUntil_ = std::max(noFixUntil_, t_ + e.seconds); break;
      }
    }
    return !full_;
  }

  // Moves the car through one second; true when it has come to rest at the last waypoint.
  bool Advance() {
    double vNew = legs_[leg_].speed;
    double step = vNew;
    if (accel_ > 0.0) {
      const double target = std::min(vNew, BrakingLimit());
      vNew = v_ < target ? std::min(target, v_ + accel_) : std::max(target, v_ - accel_);
      step = (v_ + vNew) / 2.0;
    }
    step = std::max(step, kMinStepMetres);
    v_ = vNew;

    double remaining = step;
    for (;;) {
      const Leg& leg = legs_[leg_];
      const double left = leg.length - s_;
      if (remaining < left) {
        s_ += remaining;
        return false;
      }
      remaining -= left;
      s_ = leg.length;
      if (leg.length > 0.0) lastCourse_ = FinalBearing(leg);
      const size_t wp = leg_ + 1;
      if (stopAt_[wp]) {
        // The rest of this second's way is dropped: the car arrives on the whole second.
        v_ = 0.0;
        if (!Arrive(wp) || wp == route_.waypoints.size() - 1) return true;
        leg_ = wp;
        s_ = 0.0;
        return false;
      }
      Arrive(wp);
      leg_ = wp;
      s_ = 0.0;
    }
  }

  // The highest speed for the end of this second from which the car can still slow to every
  // lower speed (or a stop) ahead. The second's way is (v + limit) / 2, so the limit solves
  // limit^2 = next^2 + 2a (distance - (v + limit) / 2).
  double BrakingLimit() const {
    double limit = std::numeric_limits<double>::infinity();
    double distance = legs_[leg_].length - s_;
    const double horizon = kMaxSpeedMs * kMaxSpeedMs / accel_;
    for (size_t wp = leg_ + 1; wp < route_.waypoints.size(); ++wp) {
      const double next = stopAt_[wp] ? 0.0 : legs_[wp].speed;
      const double disc = accel_ * accel_ - 4.0 * (accel_ * v_ - 2.0 * accel_ * distance - next * next);
      const double reachable = disc > 0.0 ? (std::sqrt(disc) - accel_) / 2.0 : 0.0;
      // Passing a waypoint at its own speed is always allowed, even in the last metres before it.
      limit = std::min(limit, std::max(reachable, next));
      if (stopAt_[wp] || distance > horizon) break;
      distance += legs_[wp].length;
    }
    return limit;
  }

  static double FinalBearing(const Leg& leg) {
    return Course(gps::InitialBearing(leg.lonB, leg.latB, leg.lonA, leg.latA) + 180.0);
  }

  void Position(double& lat, double& lon, double& alt) const {
    if (legs_.empty()) {
      lat = route_.waypoints[0].latitude;
      lon = route_.waypoints[0].longitude;
      alt = route_.waypoints[0].altitude;
      return;
    }
    const Leg& leg = legs_[leg_];
    const double f = leg.length > 0.0 ? s_ / leg.length : 0.0;
    alt = leg.altA + (leg.altB - leg.altA) * f;
    if (f <= 0.0 || leg.angle <= 0.0) {
      lat = leg.latA;
      lon = leg.lonA;
      return;
    }
    if (f >= 1.0) {
      lat = leg.latB;
      lon = leg.lonB;
      return;
    }
    // Along the great circle: exact on legs of any length, across the 180th meridian and near
    // the poles, where a flat projection would bend the way.
    const double wa = std::sin((1.0 - f) * leg.angle) / std::sin(leg.angle);
    const double wb = std::sin(f * leg.angle) / std::sin(leg.angle);
    const Vec p{wa * leg.a.x + wb * leg.b.x, wa * leg.a.y + wb * leg.b.y, wa * leg.a.z + wb * leg.b.z};
    lat = std::atan2(p.z, std::hypot(p.x, p.y)) / kDegree;
    lon = std::atan2(p.y, p.x) / kDegree;
  }

  void EmitMoving() {
    DriveSample s = Sample();
    if (!legs_.empty()) {
      const Leg& leg = legs_[leg_];
      if (leg.length - s_ > kAtEndMetres) {
        // From the unrounded position: a centimetre of rounding turns the course metres before a waypoint.
        double lat = 0.0, lon = 0.0, alt = 0.0;
        Position(lat, lon, alt);
        lastCourse_ = Course(gps::InitialBearing(lon, lat, leg.lonB, leg.latB));
      }
    }
    s.course = lastCourse_;
    s.speedKmh = v_ * 3.6;
    Push(s);
  }

  void EmitStanding() {
    DriveSample s = Sample();
    s.course = lastCourse_;
    s.speedKmh = 0.0;
    Push(s);
  }

  DriveSample Sample() const {
    DriveSample s;
    s.utcSeconds = route_.startUtc + t_;
    double lat = 0.0, lon = 0.0;
    Position(lat, lon, s.altitude);
    s.latitude = Round7(lat);
    s.longitude = Round7(WrapLongitude(lon));
    s.receiver = t_ < silentUntil_  ? ReceiverState::kSilent
                 : t_ < noFixUntil_ ? ReceiverState::kNoFix
                                    : ReceiverState::kFix;
    return s;
  }

  void Push(const DriveSample& s) {
    if (samples_.size() >= kMaxSamples) {
      full_ = true;
      return;
    }
    samples_.push_back(s);
    ++t_;
  }

  const Route& route_;
  const double accel_;
  std::vector<DriveSample>& samples_;
  std::vector<Leg> legs_;
  std::vector<bool> stopAt_;
  size_t nextEvent_ = 0;
  size_t leg_ = 0;
  double s_ = 0.0;  // metres along the current leg
  double v_ = 0.0;  // m/s
  double lastCourse_ = 0.0;
  int64_t t_ = 0;  // seconds since the start: the time of the next sample
  int64_t silentUntil_ = 0;
  int64_t noFixUntil_ = 0;
  bool full_ = false;
};

}  // namespace

double DistanceMetres(double lat1, double lon1, double lat2, double lon2) {
  const double p1 = lat1 * kDegree, p2 = lat2 * kDegree;
  const double dp = (lat2 - lat1) * kDegree, dl = (lon2 - lon1) * kDegree;
  const double h =
      std::sin(dp / 2) * std::sin(dp / 2) + std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
  return 2.0 * kEarthRadiusMetres * std::atan2(std::sqrt(h), std::sqrt(std::max(0.0, 1.0 - h)));
}

bool SimulateDrive(const Route& route, const MotionOptions& options, std::vector<DriveSample>& samples,
                   std::string& message) {
  samples.clear();
  message.clear();
  if (route.waypoints.empty()) {
    message = "the route has no waypoint";
    return false;
  }
  Drive drive(route, options, samples);
  return drive.Run(message);
}

}  // namespace drive_sim
