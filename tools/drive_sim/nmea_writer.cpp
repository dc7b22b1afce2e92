#include "tools/drive_sim/nmea_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <random>

#include "platform/text/text.h"

namespace drive_sim {
namespace {

constexpr double kKnotsPerKmh = 1.0 / 1.852;

std::string Sentence(const std::string& body) { return "$" + body + "*" + Checksum(body) + "\r\n"; }

std::string TimeField(const CivilTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%02d.000", t.hour, t.minute, t.second);
  return text;
}

// ddmm.mmmm or dddmm.mmmm, rounded once in whole units of the last place so that 59.99995
// minutes become the next degree instead of "60.0000".
std::string Angle(double degrees, int degreeDigits, int precision, char positive, char negative) {
  const int64_t scale = static_cast<int64_t>(std::llround(std::pow(10.0, precision)));
  const int64_t units = std::llround(std::fabs(degrees) * 60.0 * static_cast<double>(scale));
  const int64_t perDegree = 60 * scale;
  char text[40];
  std::snprintf(text, sizeof text, "%0*lld%02lld.%0*lld,%c", degreeDigits, static_cast<long long>(units / perDegree),
                static_cast<long long>(units % perDegree / scale), precision, static_cast<long long>(units % scale),
                degrees < 0.0 ? negative : positive);
  return text;
}

std::string Position(const DriveSample& s, int precision) {
  return Angle(s.latitude, 2, precision, 'N', 'S') + "," + Angle(s.longitude, 3, precision, 'E', 'W');
}

std::string Fixed(const char* format, double value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Course as sent: rounding 359.96 must not give "360.0", which the warner would keep as 360.
std::string CourseField(double course) {
  std::string text = Fixed("%.1f", course);
  return text == "360.0" ? "0.0" : text;
}

// Gaussian noise from the standard engine by Box-Muller, so a seed gives the same log with any
// standard library.
class Noise {
 public:
  explicit Noise(uint64_t seed) : engine_(seed) {}
  double Next() {
    const double u1 = (static_cast<double>(engine_() >> 11) + 1.0) / 9007199254740993.0;  // (0, 1]
    const double u2 = static_cast<double>(engine_() >> 11) / 9007199254740992.0;          // [0, 1)
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
  }

 private:
  std::mt19937_64 engine_;
};

DriveSample WithNoise(DriveSample s, double metres, Noise& noise) {
  const double north = metres * noise.Next();
  const double east = metres * noise.Next();
  const double lat = s.latitude + north / kEarthRadiusMetres * 180.0 / std::numbers::pi;
  s.latitude = std::fmax(-90.0, std::fmin(90.0, lat));
  const double cosLat = std::cos(s.latitude * std::numbers::pi / 180.0);
  if (cosLat > 1e-9) s.longitude += east / (kEarthRadiusMetres * cosLat) * 180.0 / std::numbers::pi;
  s.longitude = std::fmod(s.longitude + 180.0, 360.0);
  if (s.longitude < 0.0) s.longitude += 360.0;
  s.longitude -= 180.0;
  return s;
}

}  // namespace

bool ParseSentenceList(std::string_view text, unsigned& sentences) {
  unsigned mask = 0;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view name = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (platform::EqualsNoCase(name, "gga")) {
      mask |= kSendGga;
    } else if (platform::EqualsNoCase(name, "rmc")) {
      mask |= kSendRmc;
    } else if (platform::EqualsNoCase(name, "vtg")) {
      mask |= kSendVtg;
    } else {
      return false;
    }
  }
  if (mask == 0) return false;
  sentences = mask;
  return true;
}

std::string Checksum(std::string_view body) {
  unsigned sum = 0;
  for (const char c : body) sum ^= static_cast<unsigned char>(c);
  char text[3];
  std::snprintf(text, sizeof text, "%02X", sum & 0xFF);
  return text;
}

std::string FormatGga(const DriveSample& s, int precision) {
  const std::string time = TimeField(FromUtcSeconds(s.utcSeconds));
  if (s.receiver != ReceiverState::kFix) return Sentence("GPGGA," + time + ",,,,,0,00,,,M,,M,,");
  return Sentence("GPGGA," + time + "," + Position(s, precision) + ",1,08,0.9," + Fixed("%.1f", s.altitude) +
                  ",M,0.0,M,,");
}

std::string FormatRmc(const DriveSample& s, int precision) {
  const CivilTime t = FromUtcSeconds(s.utcSeconds);
  char date[8];
  std::snprintf(date, sizeof date, "%02d%02d%02d", t.day, t.month, t.year % 100);
  if (s.receiver != ReceiverState::kFix) return Sentence("GPRMC," + TimeField(t) + ",V,,,,,,," + date + ",,,N");
  return Sentence("GPRMC," + TimeField(t) + ",A," + Position(s, precision) + "," +
                  Fixed("%.2f", s.speedKmh * kKnotsPerKmh) + "," + CourseField(s.course) + "," + date + ",,,A");
}

std::string FormatVtg(const DriveSample& s) {
  if (s.receiver != ReceiverState::kFix) return Sentence("GPVTG,,T,,M,,N,,K,N");
  return Sentence("GPVTG," + CourseField(s.course) + ",T,,M," + Fixed("%.2f", s.speedKmh * kKnotsPerKmh) + ",N," +
                  Fixed("%.1f", s.speedKmh) + ",K,A");
}

std::string WriteNmeaLog(const std::vector<DriveSample>& samples, const NmeaOptions& options) {
  const int precision = std::max(kMinPrecision, std::min(kMaxPrecision, options.precision));
  Noise noise(options.seed);
  std::string log;
  for (size_t i = 0; i < samples.size(); ++i) {
    if (samples[i].receiver == ReceiverState::kSilent) continue;
    if (options.dropoutEvery > 0 && (i + 1) % static_cast<size_t>(options.dropoutEvery) == 0) continue;
    DriveSample s = samples[i];
    if (options.noiseMetres > 0.0 && s.receiver == ReceiverState::kFix) s = WithNoise(s, options.noiseMetres, noise);
    if (options.sentences & kSendGga) log += FormatGga(s, precision);
    if (options.sentences & kSendRmc) log += FormatRmc(s, precision);
    if (options.sentences & kSendVtg) log += FormatVtg(s);
  }
  return log;
}

}  // namespace drive_sim
