#include "manager/core/nmea_summary.h"

#include <cstdio>

#include "platform/numbers/lenient_number.h"
#include "warner/gps/conversions.h"
#include "warner/gps/nmea_sentence.h"

namespace manager {

namespace {

// Reads the fields a summary shows; the first one that is missing spoils the whole summary.
class Fields {
 public:
  explicit Fields(const gps::NmeaSentence& sentence) : sentence_(sentence) {}

  std::string_view Text(int n, size_t maxLength = gps::kFieldMax) {
    std::string_view text;
    if (ok_ && !sentence_.Field(n, maxLength, text)) ok_ = false;
    return ok_ ? text : std::string_view();
  }
  double Real(int n) { return platform::ReadLeadingReal(Text(n), platform::kNmeaNumbers).value; }
  int Int(int n) { return platform::ReadLeadingInt(Text(n), platform::kNmeaNumbers); }
  char Letter(int n) {
    const std::string_view text = Text(n);
    return text.empty() ? ' ' : text[0];
  }
  // Seconds of the UTC time in field 1 (hhmmss...), digits taken unchecked as receivers send them.
  int Seconds() {
    const std::string_view text = Text(1);
    if (text.size() < 6) ok_ = false;
    return ok_ ? (text[4] - '0') * 10 + (text[5] - '0') : 0;
  }
  // Decimal degrees of the coordinate in field n, negative for 'S' or 'W' in field n + 1; the
  // letter as shown.
  double Degrees(int n, char negative, char& letter) {
    const double degrees =
        gps::NmeaToDegrees(platform::ReadLeadingReal(Text(n, gps::kCoordinateFieldMax), platform::kNmeaNumbers).value);
    letter = Letter(n + 1);
    return letter == negative ? -degrees : degrees;
  }
  bool Ok() const { return ok_; }

 private:
  const gps::NmeaSentence& sentence_;
  bool ok_ = true;
};

using Summary = std::optional<std::string>;

template <typename... Args>
Summary Format(const Fields& fields, const char* format, Args... args) {
  if (!fields.Ok()) return std::nullopt;
  char line[256];
  std::snprintf(line, sizeof line, format, args...);
  return std::string(line);
}

Summary GgaSummary(Fields f) {
  const int seconds = f.Seconds();
  char latLetter = ' ';
  char lonLetter = ' ';
  const double latitude = f.Degrees(2, 'S', latLetter);
  const double longitude = f.Degrees(4, 'W', lonLetter);
  const int quality = f.Int(6);
  const int satellites = f.Int(7);
  return Format(f, "GGA :%02d %.5f%c %.5f%c Fx %d nS %d", seconds, longitude, lonLetter, latitude, latLetter, quality,
                satellites);
}

Summary RmcSummary(Fields f) {
  const int seconds = f.Seconds();
  const char status = f.Letter(2);
  char latLetter = ' ';
  char lonLetter = ' ';
  const double latitude = f.Degrees(3, 'S', latLetter);
  const double longitude = f.Degrees(5, 'W', lonLetter);
  const double knots = f.Real(7);
  const double track = f.Real(8);
  return Format(f, "RMC :%02d %.5f%c %.5f%c %c %.1fkn trA %f", seconds, longitude, lonLetter, latitude, latLetter,
                status, knots, track);
}

Summary VtgSummary(Fields f) {
  const double trueTrack = f.Real(1);
  const double magneticTrack = f.Real(3);
  const double knots = f.Real(5);
  const double kmh = f.Real(7);
  return Format(f, "VTG     %.5fT %.5fM %.1fkm %.1fkn", trueTrack, magneticTrack, kmh, knots);
}

}  // namespace

bool SentenceAssembler::Feed(uint8_t byte) {
  const char c = static_cast<char>(byte & 0x7F);
  if (!collecting_) {
    if (c != '$') return false;
    collecting_ = true;
    length_ = 0;
  }
  if (length_ == kMaxLine) {  // too long for a sentence: wait for the next one
    collecting_ = false;
    length_ = 0;
    return false;
  }
  line_[length_++] = c;
  if (c != '\n') return false;
  collecting_ = false;
  return true;
}

std::optional<std::string> SentenceSummary(std::string_view text) {
  const gps::NmeaSentence sentence(text);
  std::string_view address;
  if (!sentence.HasCommaBeforeChecksum() || !sentence.ChecksumValid() ||
      !sentence.Field(0, gps::kAddressFieldMax, address)) {
    return std::nullopt;
  }
  if (address == "$GPGGA") return GgaSummary(Fields(sentence));
  if (address == "$GPRMC") return RmcSummary(Fields(sentence));
  if (address == "$GPVTG") return VtgSummary(Fields(sentence));
  return std::nullopt;
}

}  // namespace manager
