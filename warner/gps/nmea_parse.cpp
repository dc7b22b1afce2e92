// The three sentence parsers. Each reads its fields into a local record first and then applies
// the record to the fix in one step under the fix lock, so that a reader on another thread never
// sees a half-updated fix.

#include <limits>
#include <mutex>

#include "platform/numbers/lenient_number.h"
#include "warner/gps/conversions.h"
#include "warner/gps/nmea_decoder.h"
#include "warner/gps/nmea_sentence.h"

namespace gps {

namespace {

int32_t NmeaInt(std::string_view text) { return platform::ReadLeadingInt(text, platform::kNmeaNumbers); }
double NmeaReal(std::string_view text) { return platform::ReadLeadingReal(text, platform::kNmeaNumbers).value; }

// Reads fields in order; after the first field that fails every later read yields the
// cleared value, which is what the GGA and RMC parsers use.
class FieldReader {
 public:
  explicit FieldReader(const NmeaSentence& sentence) : sentence_(sentence) {}

  std::string_view Text(int n, size_t maxLength = kFieldMax) {
    std::string_view text;
    if (ok_ && !sentence_.Field(n, maxLength, text)) ok_ = false;
    return ok_ ? text : std::string_view();
  }
  int32_t Int(int n) { return NmeaInt(Text(n)); }
  double Real(int n) { return NmeaReal(Text(n)); }
  char16_t Char(int n) {
    const std::string_view text = Text(n);
    return text.empty() ? u' ' : static_cast<char16_t>(static_cast<unsigned char>(text[0]));
  }
  bool Ok() const { return ok_; }

 private:
  const NmeaSentence& sentence_;
  bool ok_ = true;
};

struct TimeOfDay {
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
  int32_t millisecond = 0;
};

// Characters 1-6 are taken as digits without a check, as receivers send them; milliseconds
// come from up to three digits after the point.
bool ReadTime(const NmeaSentence& sentence, TimeOfDay& time) {
  std::string_view text;
  if (!sentence.Field(1, kFieldMax, text) || text.size() < 6) return false;
  auto twoDigits = [&](size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
  time.hour = twoDigits(0);
  time.minute = twoDigits(2);
  time.second = twoDigits(4);
  time.millisecond = 0;
  if (text.size() >= 8) {
    int scale = 100;
    for (size_t i = 7; i < text.size() && i < 10 && text[i] >= '0' && text[i] <= '9'; ++i) {
      time.millisecond += (text[i] - '0') * scale;
      scale /= 10;
    }
  }
  return true;
}

void ApplyTime(const TimeOfDay& time, GpsFix& fix) {
  fix.hour = time.hour;
  fix.minute = time.minute;
  fix.second = time.second;
  fix.millisecond = time.millisecond;
  // Unchecked digits can make this exceed 32 bits; wrap it instead of overflowing.
  const int64_t ms = ((int64_t{time.hour} * 60 + time.minute) * 60 + time.second) * 1000 + time.millisecond;
  fix.timeOfDayMs = static_cast<int32_t>(static_cast<uint32_t>(ms));
}

char16_t LatitudeHemisphere(char16_t c) { return c == u'N' || c == u'S' ? c : u' '; }
char16_t LongitudeHemisphere(char16_t c) { return c == u'E' || c == u'W' ? c : u' '; }

// Position texts and hemispheres as read from a GGA or RMC sentence.
struct PositionFields {
  std::string_view latText;
  char16_t latHemisphere = u' ';
  std::string_view lonText;
  char16_t lonHemisphere = u' ';
};

PositionFields ReadPosition(FieldReader& reader, int firstField) {
  PositionFields p;
  p.latText = reader.Text(firstField, kCoordinateFieldMax);
  p.latHemisphere = LatitudeHemisphere(reader.Char(firstField + 1));
  p.lonText = reader.Text(firstField + 2, kCoordinateFieldMax);
  p.lonHemisphere = LongitudeHemisphere(reader.Char(firstField + 3));
  return p;
}

void ApplyPosition(const PositionFields& p, GpsFix& fix) {
  const double latitude = NmeaToDegrees(NmeaReal(p.latText));
  const double longitude = NmeaToDegrees(NmeaReal(p.lonText));
  fix.latitude = p.latHemisphere == u'S' ? -latitude : latitude;
  fix.longitude = p.lonHemisphere == u'W' ? -longitude : longitude;
  fix.latHemisphere = p.latHemisphere;
  fix.lonHemisphere = p.lonHemisphere;
  const DegMinSec lat = SplitDegreesMinutes(p.latText, p.latHemisphere);
  const DegMinSec lon = SplitDegreesMinutes(p.lonText, p.lonHemisphere);
  fix.latDegrees = lat.degrees;
  fix.latMinutes = lat.minutes;
  fix.latSeconds = lat.seconds;
  fix.lonDegrees = lon.degrees;
  fix.lonMinutes = lon.minutes;
  fix.lonSeconds = lon.seconds;
}

double NormalizedCourse(double course) { return course < 0.0 ? course + 360.0 : course; }

void CountBadSentence(GpsFix& fix) {
  if (fix.badSentenceCount < std::numeric_limits<int32_t>::max()) ++fix.badSentenceCount;
}

uint32_t SentenceTypeOf(std::string_view text) {
  if (text.size() < 6) return kSentenceOther;
  const std::string_view address = text.substr(0, 6);
  if (address == "$GPGGA") return kSentenceGga;
  if (address == "$GPRMC") return kSentenceRmc;
  if (address == "$GPVTG") return kSentenceVtg;
  return kSentenceOther;
}

}  // namespace

int NmeaDecoder::ParseSentence() {
  // A NUL among the first six bytes cannot match an address, so the raw bytes will do here.
  const uint32_t type = SentenceTypeOf(Sentence());
  if (type == kSentenceOther) {
    std::lock_guard guard(gpsFixLock_);
    fix_.lastSentenceType = kSentenceOther;
    return kParseIgnored;
  }
  const NmeaSentence sentence(Sentence());
  std::string_view address;
  if (!sentence.HasCommaBeforeChecksum() || !sentence.ChecksumValid() ||
      !sentence.Field(0, kAddressFieldMax, address)) {
    return Reject(type);
  }
  switch (type) {
    case kSentenceGga: return ParseGga(sentence);
    case kSentenceRmc: return ParseRmc(sentence);
    default: return ParseVtg(sentence);
  }
}

int NmeaDecoder::Reject(uint32_t type) {
  std::lock_guard guard(gpsFixLock_);
  fix_.lastSentenceType = type;
  CountBadSentence(fix_);
  return kParseRejected;
}

int NmeaDecoder::ParseGga(const NmeaSentence& sentence) {
  TimeOfDay time;
  if (!ReadTime(sentence, time)) return Reject(kSentenceGga);
  FieldReader reader(sentence);
  const PositionFields position = ReadPosition(reader, 2);
  const int32_t quality = reader.Int(6);
  const int32_t satellites = reader.Int(7);
  const double hdop = reader.Real(8);
  const double altitude = reader.Real(9);
  const double geoidSeparation = reader.Real(11);
  const char16_t geoidUnit = reader.Char(12);
  reader.Text(13);  // age of differential data and station: read for the field rule only
  reader.Text(14);

  std::lock_guard guard(gpsFixLock_);
  fix_.lastSentenceType = kSentenceGga;
  ApplyTime(time, fix_);
  fix_.satellites = satellites;
  fix_.fixQuality = quality;
  if (quality < 1) {
    fix_.validMask &=
        ~(kValidPosition | kValidSpeed | kValidCourse | kValidAltitude | kValidSatellites | kValidGgaFix | kValidVtg);
    CountBadSentence(fix_);
    return kParseNoFix;
  }
  fix_.validMask |= kValidPosition | kValidAltitude | kValidSatellites | kValidGgaFix;
  ApplyPosition(position, fix_);
  fix_.altitude = altitude;
  fix_.hdop = hdop;
  fix_.geoidSeparation = geoidSeparation;
  fix_.geoidSeparationUnit = geoidUnit;
  fix_.badSentenceCount = 0;
  return kParseFix;
}

int NmeaDecoder::ParseRmc(const NmeaSentence& sentence) {
  TimeOfDay time;
  if (!ReadTime(sentence, time)) return Reject(kSentenceRmc);
  FieldReader reader(sentence);
  const char16_t status = reader.Char(2);
  const PositionFields position = ReadPosition(reader, 3);
  const double knots = reader.Real(7);
  const double course = reader.Real(8);
  const std::string_view date = reader.Text(9);
  reader.Text(10);  // magnetic variation and its direction: read for the field rule only
  reader.Text(11);

  std::lock_guard guard(gpsFixLock_);
  fix_.lastSentenceType = kSentenceRmc;
  ApplyTime(time, fix_);
  if (status != u'A') {
    fix_.fixQuality = 0;
    fix_.validMask &= ~(kValidPosition | kValidSpeed | kValidCourse | kValidRmcFix);
    CountBadSentence(fix_);
    return kParseNoFix;
  }
  fix_.fixQuality = 1;
  fix_.validMask |= kValidPosition | kValidSpeed | kValidCourse | kValidRmcFix;
  ApplyPosition(position, fix_);
  fix_.course = NormalizedCourse(course);
  fix_.speedKmh = knots * 1.852;
  // ddmmyy, split from the right; a short text leaves the missing parts 0.
  fix_.year = date.size() > 4 ? NmeaInt(date.substr(4)) : 0;
  fix_.month = date.size() > 2 ? NmeaInt(date.substr(2, 2)) : 0;
  fix_.day = NmeaInt(date.substr(0, 2));
  fix_.badSentenceCount = 0;
  return kParseFix;
}

int NmeaDecoder::ParseVtg(const NmeaSentence& sentence) {
  FieldReader reader(sentence);
  const double courseTrue = reader.Real(1);
  reader.Text(3);  // course magnetic and speed in knots must be present
  reader.Text(5);
  const double kmh = reader.Real(7);
  if (!reader.Ok()) return Reject(kSentenceVtg);

  std::lock_guard guard(gpsFixLock_);
  fix_.lastSentenceType = kSentenceVtg;
  fix_.badSentenceCount = 0;
  if (fix_.validMask & kValidGgaFix) {
    fix_.validMask |= kValidSpeed | kValidCourse | kValidVtg;
    fix_.course = NormalizedCourse(courseTrue);
    fix_.speedKmh = kmh;
  }
  return kParseVtg;
}

}  // namespace gps
