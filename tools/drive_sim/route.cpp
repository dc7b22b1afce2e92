#include "tools/drive_sim/route.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace drive_sim {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    const size_t begin = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > begin) words.push_back(line.substr(begin, i - begin));
  }
  return words;
}

// The whole word must be a finite number: "12abc", "nan" and "inf" are typing errors, not values.
bool ReadNumber(std::string_view word, double& value) {
  if (word.empty() || word.size() > 64) return false;
  const std::string text(word);
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(value);
}

bool ReadInt(std::string_view word, int& value) {
  const char* end = word.data() + word.size();
  const auto [ptr, ec] = std::from_chars(word.data(), end, value);
  return ec == std::errc() && ptr == end;
}

bool ReadDigits(std::string_view text, size_t pos, size_t count, int& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

class RouteReader {
 public:
  RouteReader(Route& route, RouteError& error) : route_(route), error_(error) {}

  bool Line(std::string_view line, int number) {
    line_ = number;
    if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    const std::vector<std::string_view> words = Words(line);
    if (words.empty()) return true;
    if (words[0] == "start") return Start(words);
    if (words[0] == "stop") return Event(EventKind::kStop, words);
    if (words[0] == "pause") return Event(EventKind::kPause, words);
    if (words[0] == "nofix") return Event(EventKind::kNoFix, words);
    return WaypointLine(words);
  }

  bool Finish() {
    line_ = 0;
    if (route_.waypoints.empty()) return Fail("the route has no waypoint");
    return true;
  }

 private:
  bool Fail(const std::string& message) {
    error_.line = line_;
    error_.message = message;
    return false;
  }

  bool Start(const std::vector<std::string_view>& words) {
    if (route_.hasStart) return Fail("a second start");
    if (words.size() != 3) return Fail("start wants YYYY-MM-DD hh:mm:ss");
    const std::string text = std::string(words[1]) + " " + std::string(words[2]);
    if (!ParseUtc(text, route_.startUtc)) return Fail("bad start time '" + text + "' (YYYY-MM-DD hh:mm:ss, UTC)");
    route_.hasStart = true;
    return true;
  }

  bool Event(EventKind kind, const std::vector<std::string_view>& words) {
    int seconds = 0;
    if (words.size() != 2 || !ReadInt(words[1], seconds) || seconds < 1 || seconds > kMaxEventSeconds) {
      return Fail(std::string(words[0]) + " wants a number of seconds from 1 to " + std::to_string(kMaxEventSeconds));
    }
    const size_t waypoint = route_.waypoints.empty() ? 0 : route_.waypoints.size() - 1;
    route_.events.push_back({kind, seconds, waypoint, line_});
    return true;
  }

  bool WaypointLine(const std::vector<std::string_view>& words) {
    Waypoint w;
    w.line = line_;
    if (!route_.waypoints.empty()) {
      w.speedKmh = route_.waypoints.back().speedKmh;
      w.altitude = route_.waypoints.back().altitude;
    }
    if (words.size() < 2 || !ReadNumber(words[0], w.longitude) || !ReadNumber(words[1], w.latitude)) {
      return Fail("expected 'lon lat [speed_kmh] [alt=METRES]', 'start', 'stop', 'pause' or 'nofix', got '" +
                  std::string(words[0]) + "'");
    }
    if (w.longitude < -180.0 || w.longitude > 180.0) return Fail("longitude out of -180..180");
    if (w.latitude < -90.0 || w.latitude > 90.0) return Fail("latitude out of -90..90");
    bool haveSpeed = false;
    bool haveAltitude = false;
    for (size_t i = 2; i < words.size(); ++i) {
      if (words[i].starts_with("alt=")) {
        if (haveAltitude || !ReadNumber(words[i].substr(4), w.altitude) || std::fabs(w.altitude) > 100000.0) {
          return Fail("bad altitude '" + std::string(words[i]) + "'");
        }
        haveAltitude = true;
      } else if (!haveSpeed && !haveAltitude) {
        // A zero speed would never reach the next waypoint; standing still is what 'stop' is for.
        if (!ReadNumber(words[i], w.speedKmh) || w.speedKmh < 1.0 || w.speedKmh > kMaxSpeedKmh) {
          return Fail("bad speed '" + std::string(words[i]) + "' (km/h, 1 to 1000; use 'stop' to stand)");
        }
        haveSpeed = true;
      } else {
        return Fail("unexpected '" + std::string(words[i]) + "' after the waypoint");
      }
    }
    route_.waypoints.push_back(w);
    return true;
  }

  Route& route_;
  RouteError& error_;
  int line_ = 0;
};

}  // namespace

bool ParseRoute(std::string_view text, Route& route, RouteError& error) {
  route = Route{};
  error = RouteError{};
  RouteReader reader(route, error);
  int number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!reader.Line(line, ++number)) return false;
  }
  return reader.Finish();
}

bool ParseUtc(std::string_view text, int64_t& utcSeconds) {
  CivilTime t;
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || (text[10] != ' ' && text[10] != 'T') ||
      text[13] != ':' || text[16] != ':') {
    return false;
  }
  if (!ReadDigits(text, 0, 4, t.year) || !ReadDigits(text, 5, 2, t.month) || !ReadDigits(text, 8, 2, t.day) ||
      !ReadDigits(text, 11, 2, t.hour) || !ReadDigits(text, 14, 2, t.minute) || !ReadDigits(text, 17, 2, t.second)) {
    return false;
  }
  // The log carries two-digit years, so only one century is unambiguous.
  if (t.year < 1970 || t.year > 2099 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 || t.second > 59) {
    return false;
  }
  utcSeconds = ToUtcSeconds(t);
  return true;
}

// Proleptic Gregorian day counts in 400-year eras, so no time zone or C library state is involved.
int64_t ToUtcSeconds(const CivilTime& t) {
  const int64_t y = t.year - (t.month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (t.month + (t.month > 2 ? -3 : 9)) + 2) / 5 + t.day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t days = era * 146097 + doe - 719468;
  return days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

CivilTime FromUtcSeconds(int64_t utcSeconds) {
  int64_t days = utcSeconds / 86400;
  int64_t rest = utcSeconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  CivilTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

}  // namespace drive_sim
