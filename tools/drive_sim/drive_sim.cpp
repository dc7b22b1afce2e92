// drive-sim: turns a route file into the NMEA log a receiver in a car driving it would send, for
// the warner's demo and for tests of the warning engine.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "tools/drive_sim/motion.h"
#include "tools/drive_sim/nmea_writer.h"
#include "tools/drive_sim/route.h"

namespace {

constexpr const char* kUsage =
    "Usage: drive-sim [options] ROUTE\n"
    "Drives ROUTE (a file, or '-' for standard input) and writes the receiver's NMEA log: one\n"
    "GGA, RMC and VTG sentence per second (in this order, each ending in CR LF, checksummed).\n"
    "\n"
    "Route file, one item a line, '#' starts a comment:\n"
    "  start YYYY-MM-DD hh:mm:ss   UTC of the first second (default 2024-06-01 08:00:00)\n"
    "  LON LAT [SPEED] [alt=M]      waypoint in decimal degrees (east and north positive); SPEED in\n"
    "                               km/h (1 to 1000) is driven from this waypoint on (default the\n"
    "                               previous one, at first 50); alt= the height here in metres\n"
    "                               (default the previous one, at first 500.0), interpolated\n"
    "                               along the leg\n"
    "  stop N                       the car stands N seconds at the last waypoint (speed 0)\n"
    "  pause N                      from the last waypoint on the receiver is silent N seconds\n"
    "                               while the car drives on (a dropout, say a tunnel)\n"
    "  nofix N                      from the last waypoint on N seconds of sentences without a\n"
    "                               position (GGA quality 0, RMC status V, empty fields)\n"
    "  stop, pause and nofix written before the first waypoint happen there at the start; at one\n"
    "  waypoint they happen in the order written (\"stop 30\" then \"nofix 10\": the fix is lost\n"
    "  as the car leaves).\n"
    "\n"
    "Motion: the car follows the great circle between waypoints, which is exact for legs of any\n"
    "length, across the 180th meridian and near the poles. It starts from rest, changes speed at\n"
    "--accel, brakes in time for lower speeds and stops ahead, and stops at the last waypoint. Each\n"
    "position is exact to 1e-7 degree before formatting; the course is the great-circle course\n"
    "toward the leg's end, kept while the car stands. Arrivals at a stop are rounded to the next\n"
    "whole second. The log ends at the last waypoint once its stops and any running pause or\n"
    "nofix are over. A stop of N seconds shows N+1 samples at the point, N seconds apart.\n"
    "\n"
    "Options:\n"
    "  -o FILE              write the log to FILE instead of standard output\n"
    "  --sentences LIST     which sentences, comma separated: gga, rmc, vtg (default all three)\n"
    "  --precision N        decimals of the minutes, 3 to 7 (default 4)\n"
    "  --noise METRES       Gaussian position noise, standard deviation north and east\n"
    "  --seed N             seed of the noise (default 1); the same seed gives the same log\n"
    "  --dropout-every N    leave out the last second of every N seconds\n"
    "  --start 'YYYY-MM-DD hh:mm:ss'  overrides the route's start\n"
    "  --accel M/S2         speed change per second squared, 0 to 20 (default 2; 0: speeds jump)\n"
    "  -h, --help           this text\n"
    "Fixed values: 8 satellites, HDOP 0.9, geoid separation 0.0 M.\n"
    "Exit status: 0 done, 1 bad route or unreadable/unwritable file, 2 wrong command line.\n";

struct Options {
  drive_sim::NmeaOptions nmea;
  drive_sim::MotionOptions motion;
  const char* routePath = nullptr;
  const char* outPath = nullptr;
  bool hasStart = false;
  int64_t start = 0;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "drive-sim: %s\n%s", message.c_str(), "Try 'drive-sim --help'.\n");
  return 2;
}

bool ReadDouble(const char* text, double lo, double hi, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text, &end);
  return *text != '\0' && *end == '\0' && errno == 0 && std::isfinite(value) && value >= lo && value <= hi;
}

bool ReadLong(const char* text, long long lo, long long hi, long long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text, &end, 10);
  return *text != '\0' && *end == '\0' && errno == 0 && value >= lo && value <= hi;
}

// 0 parsed, -1 help shown, otherwise the exit status of a usage error.
int ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return -1;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      if (i + 1 >= argc) return UsageError(std::string(arg) + " wants a value");
      const char* value = argv[++i];
      double d = 0.0;
      long long n = 0;
      if (arg == "-o") {
        o.outPath = value;
      } else if (arg == "--sentences") {
        if (!drive_sim::ParseSentenceList(value, o.nmea.sentences)) return UsageError("bad sentence list");
      } else if (arg == "--precision") {
        if (!ReadLong(value, drive_sim::kMinPrecision, drive_sim::kMaxPrecision, n)) return UsageError("bad precision");
        o.nmea.precision = static_cast<int>(n);
      } else if (arg == "--noise") {
        if (!ReadDouble(value, 0.0, 10000.0, d)) return UsageError("bad noise (metres, 0 to 10000)");
        o.nmea.noiseMetres = d;
      } else if (arg == "--seed") {
        if (!ReadLong(value, 0, INT64_MAX, n)) return UsageError("bad seed");
        o.nmea.seed = static_cast<uint64_t>(n);
      } else if (arg == "--dropout-every") {
        // Every second dropped would leave nothing; 2 is the densest pattern that still sends.
        if (!ReadLong(value, 2, 1000000, n)) return UsageError("bad dropout period (2 or more)");
        o.nmea.dropoutEvery = static_cast<int>(n);
      } else if (arg == "--start") {
        if (!drive_sim::ParseUtc(value, o.start)) return UsageError("bad start (YYYY-MM-DD hh:mm:ss)");
        o.hasStart = true;
      } else if (arg == "--accel") {
        if (!ReadDouble(value, 0.0, 20.0, d) || (d > 0.0 && d < 0.1))
          return UsageError("bad acceleration (0, or 0.1 to 20)");
        o.motion.acceleration = d;
      } else {
        return UsageError("unknown option " + std::string(arg));
      }
    } else if (o.routePath == nullptr) {
      o.routePath = argv[i];
    } else {
      return UsageError("more than one route");
    }
  }
  if (o.routePath == nullptr) return UsageError("no route");
  return 0;
}

bool ReadAll(const char* path, std::string& text) {
  std::FILE* f = std::strcmp(path, "-") == 0 ? stdin : std::fopen(path, "rb");
  if (f == nullptr) return false;
  char buffer[65536];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  const bool ok = !std::ferror(f);
  if (f != stdin) std::fclose(f);
  return ok;
}

bool WriteAll(const char* path, const std::string& text) {
  std::FILE* f = path == nullptr ? stdout : std::fopen(path, "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = (f == stdout ? std::fflush(f) == 0 : std::fclose(f) == 0) && ok;
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (const int status = ParseOptions(argc, argv, o); status != 0) return status < 0 ? 0 : status;

  std::string text;
  if (!ReadAll(o.routePath, text)) {
    std::fprintf(stderr, "drive-sim: cannot read %s: %s\n", o.routePath, std::strerror(errno));
    return 1;
  }
  drive_sim::Route route;
  drive_sim::RouteError error;
  if (!drive_sim::ParseRoute(text, route, error)) {
    if (error.line > 0) {
      std::fprintf(stderr, "drive-sim: %s:%d: %s\n", o.routePath, error.line, error.message.c_str());
    } else {
      std::fprintf(stderr, "drive-sim: %s: %s\n", o.routePath, error.message.c_str());
    }
    return 1;
  }
  if (o.hasStart) route.startUtc = o.start;

  std::vector<drive_sim::DriveSample> samples;
  std::string message;
  if (!drive_sim::SimulateDrive(route, o.motion, samples, message)) {
    std::fprintf(stderr, "drive-sim: %s: %s\n", o.routePath, message.c_str());
    return 1;
  }
  if (!WriteAll(o.outPath, drive_sim::WriteNmeaLog(samples, o.nmea))) {
    std::fprintf(stderr, "drive-sim: cannot write %s: %s\n", o.outPath ? o.outPath : "standard output",
                 std::strerror(errno));
    return 1;
  }
  return 0;
}
