#pragma once
// The warner's one current GPS state, as the receiver sent it (UTC, WGS 84 degrees, no user
// corrections), plus the codes the decoder reports with.

#include <cstdint>

namespace gps {

// Bits of GpsFix::validMask: which parts of the record are current.
enum ValidBits : uint32_t {
  kValidPosition = 0x001,
  kValidSpeed = 0x002,
  kValidCourse = 0x004,
  kValidAltitude = 0x008,
  kValidSatellites = 0x010,  // satellites and HDOP
  kValidGgaFix = 0x100,
  kValidRmcFix = 0x200,
  kValidVtg = 0x400,
};
// A fix is complete for the warner when position, speed and course are all current.
inline constexpr uint32_t kValidFixComplete = kValidPosition | kValidSpeed | kValidCourse;

// GpsFix::lastSentenceType.
enum SentenceType : uint32_t {
  kSentenceOther = 0,
  kSentenceGga = 0x100,
  kSentenceRmc = 0x200,
  kSentenceVtg = 0x400,
};

// Results of NmeaDecoder::NextSentence.
enum FrameResult : int {
  kFrameInputUsedUp = -1,
  kFrameSentence = 0,
  kFrameError = 1,
};

// Results of NmeaDecoder::ParseSentence.
enum ParseResult : int {
  kParseFix = 0,       // GGA with quality >= 1 or RMC with status 'A': evaluate the fix
  kParseVtg = -1,      // a correct VTG, nothing else to do
  kParseIgnored = -2,  // another sentence type
  kParseNoFix = -3,    // GGA quality 0 or RMC status other than 'A'
  kParseRejected = 1,  // checksum, address, time field or a VTG field wrong
};

struct GpsFix {
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
  int32_t millisecond = 0;
  int32_t timeOfDayMs = 0;
  int32_t day = 0;
  int32_t month = 0;
  int32_t year = 0;  // two digits as sent
  double latitude = 0.0;
  double longitude = 0.0;
  char16_t latHemisphere = u' ';
  char16_t lonHemisphere = u' ';
  int32_t latDegrees = 0;
  int32_t latMinutes = 0;
  int32_t latSeconds = 0;
  int32_t lonDegrees = 0;
  int32_t lonMinutes = 0;
  int32_t lonSeconds = 0;
  double speedKmh = 0.0;
  double course = 0.0;
  double altitude = 0.0;
  double geoidSeparation = 0.0;
  char16_t geoidSeparationUnit = u' ';
  double hdop = 0.0;
  int32_t satellites = 0;
  int32_t fixQuality = 0;
  uint32_t validMask = 0;
  uint32_t lastSentenceType = kSentenceOther;
  int32_t badSentenceCount = 0;

  bool operator==(const GpsFix&) const = default;
};

}  // namespace gps
