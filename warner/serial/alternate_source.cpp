#include "warner/serial/alternate_source.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

#include "platform/devices/device.h"
#include "platform/errors/errors.h"
#include "platform/files/files.h"
#include "platform/paths/paths.h"
#include "platform/text/text.h"
#include "warner/core/settings/warner_settings.h"
#include "warner/gps/conversions.h"
#include "warner/serial/returned.h"

namespace serial {

namespace {

// The text after the first occurrence of `key`, or nothing.
bool ValueAfter(std::string_view text, std::string_view key, std::string_view* value) {
  const size_t at = text.find(key);
  if (at == std::string_view::npos) return false;
  *value = text.substr(at + key.size());
  return true;
}

double NumberAfter(std::string_view text, std::string_view key, double missing) {
  std::string_view value;
  return ValueAfter(text, key, &value) ? warner::IniToDouble(value) : missing;
}

int IntegerAfter(std::string_view text, std::string_view key, int missing) {
  std::string_view value;
  return ValueAfter(text, key, &value) ? warner::IniToInt(value) : missing;
}

std::string StationAfter(std::string_view text) {
  std::string_view value;
  if (!ValueAfter(text, "station =", &value)) return {};
  const size_t start = value.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  value = value.substr(start);
  return std::string(value.substr(0, std::min({value.find_first_of("\r\n"), kStationChars, value.size()})));
}

void SetSplit(double degrees, int32_t& whole, int32_t& minutes, int32_t& seconds) {
  // Whole degrees carry the sign, minutes and seconds count away from zero, as the NMEA parser
  // splits a southern or western coordinate.
  const gps::DegMinSec split = gps::DegreesToDegMinSec(degrees < 0 ? -degrees : degrees);
  whole = degrees < 0 ? -split.degrees : split.degrees;
  minutes = split.minutes;
  seconds = split.seconds;
}

void WriteFix(gps::GpsFix& fix, const AlternateFields& fields, const platform::SystemTime& fixTime) {
  fix.satellites = fields.satellites;
  fix.fixQuality = 1;
  fix.longitude = fields.longitude;
  fix.latitude = fields.latitude;
  fix.lonHemisphere = fields.longitude >= 0 ? u'E' : u'W';
  fix.latHemisphere = fields.latitude >= 0 ? u'N' : u'S';
  SetSplit(fields.longitude, fix.lonDegrees, fix.lonMinutes, fix.lonSeconds);
  SetSplit(fields.latitude, fix.latDegrees, fix.latMinutes, fix.latSeconds);
  fix.course = fields.course;
  fix.speedKmh = fields.speed;
  fix.hour = fixTime.hour;
  fix.minute = fixTime.minute;
  fix.second = fixTime.second;
  fix.millisecond = fixTime.milliseconds;
  fix.timeOfDayMs = ((fix.hour * 60 + fix.minute) * 60 + fix.second) * 1000 + fix.millisecond;
  fix.validMask |= gps::kValidFixComplete;
}

void CountFailedPass(gps::GpsFix& fix) {
  fix.fixQuality = 0;
  fix.validMask &= ~gps::kValidFixComplete;
  if (fix.badSentenceCount < INT32_MAX) ++fix.badSentenceCount;
}

}  // namespace

AlternateFields ParseAlternateText(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  AlternateFields fields;
  std::string_view value;
  fields.satellitesGiven = ValueAfter(text, "nsat =", &value);
  fields.satellites = fields.satellitesGiven ? warner::IniToInt(value) : -1;
  fields.longitude = NumberAfter(text, "x =", 0.0);
  fields.latitude = NumberAfter(text, "y =", 0.0);
  // The other program counts the course the other way round.
  fields.course = 360.0 - NumberAfter(text, "course =", 0.0);
  if (fields.course < 0) fields.course += 360.0;
  fields.speed = NumberAfter(text, "speed =", 0.0);
  fields.messageCount = IntegerAfter(text, "ntmcm =", 0);
  fields.station = StationAfter(text);
  return fields;
}

int DecodeAlternatePass(std::string_view text, bool positionSource, const platform::SystemTime& fixTime,
                        gps::GpsFix& fix, RadioValues& radio) {
  const AlternateFields fields = ParseAlternateText(text);
  const bool failed = positionSource ? fields.satellites < 0 : !fields.satellitesGiven;
  radio = failed ? RadioValues{} : RadioValues{fields.messageCount, platform::Cp1252ToUtf8(fields.station)};
  if (!positionSource) return failed ? 1 : 0;
  if (failed) {
    CountFailedPass(fix);
    return 1;
  }
  WriteFix(fix, fields, fixTime);
  if (fields.satellites <= 2) {
    CountFailedPass(fix);
    return -3;
  }
  fix.badSentenceCount = 0;
  return 0;
}

AlternateSource::AlternateSource(std::string path, int type, platform::Reporter& reporter, const platform::Clock& clock,
                                 uint32_t retryWaitMs)
    : path_(std::move(path)), type_(type), reporter_(reporter), clock_(clock), retryWaitMs_(retryWaitMs) {}

uint32_t AlternateSource::Start() {
  if (!Configured()) return 0;
  positionSource_ = false;
  seenWrite_ = false;
  count_ = 0;
  SetRadio({});
  size_t count = 0;
  const uint32_t error = ReadAlternateFile(true, &count);
  if (error != 0) return error;
  positionSource_ = type_ > 0;
  return 0;
}

uint32_t AlternateSource::FindFile(bool checkOnly, bool* skip) {
  *skip = false;
  platform::FileInfo info;
  for (int attempt = 1;; ++attempt) {
    if (platform::GetFileInfo(path_, info)) break;
    // The radio values can wait for the file; the position cannot.
    if (!positionSource_ && !checkOnly) {
      *skip = true;
      return 0;
    }
    if (attempt == kFindAttempts) {
      reporter_.ErrorLastError("Can't find alternate file '%s'\n", path_.c_str());
      return platform::kErrorBufferNotSet;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(retryWaitMs_));
  }
  if (info.readOnly) {
    reporter_.Error("The alternate file '%s' is write protected\nNo periodic data update possible.", path_.c_str());
    return platform::kErrorDevNotExist;
  }
  if (checkOnly) {
    *skip = true;
    return 0;
  }
  if (positionSource_) {
    if (seenWrite_ && info.lastWriteUtcMs == lastWriteUtcMs_) {
      *skip = true;
      const int64_t age = platform::EpochMsFromSystemTime(clock_.UtcTime()) - lastWriteUtcMs_;
      return age > kStaleAfterMs ? uint32_t{platform::kErrorNotReady} : 0u;
    }
    seenWrite_ = true;
    lastWriteUtcMs_ = info.lastWriteUtcMs;
    fixTime_ = platform::SystemTimeFromEpochMs(info.lastWriteUtcMs);
  }
  return 0;
}

uint32_t AlternateSource::ReadAlternateFile(bool checkOnly, size_t* count) {
  *count = 0;
  count_ = 0;
  bool skip = false;
  const uint32_t error = FindFile(checkOnly, &skip);
  if (error != 0 || skip) return Returned(error);
  platform::CreateFolders(platform::FolderPart(kLocalCopy));
  if (!platform::CopyFileOverwrite(path_, kLocalCopy)) return Returned(0);
  return ReadLocalCopy(count);
}

uint32_t AlternateSource::ReadLocalCopy(size_t* count) {
  const std::unique_ptr<platform::Device> copy =
      platform::OpenDevice(kLocalCopy, platform::kGenericRead, platform::kFileShareRead);
  if (!copy) {
    const uint32_t error = platform::GetLastError();
    reporter_.ErrorCode(error, "Can't open the local file '%s'.\n", kLocalCopy);
    return Returned(error);
  }
  size_t got = 0;
  platform::SetLastError(0);
  if (!copy->Read(buffer_, sizeof buffer_, &got)) {
    const uint32_t error = platform::GetLastError();
    return Returned(error != 0 ? error : platform::kErrorOpenFailed);
  }
  // A text the other program is still writing has no satellites yet: nothing to decode.
  if (positionSource_ &&
      !ParseAlternateText(std::string_view(reinterpret_cast<const char*>(buffer_), got)).satellitesGiven) {
    got = 0;
  }
  count_ = got;
  *count = got;
  return Returned(0);
}

int AlternateSource::DecodeAlternateText(gps::NmeaDecoder& decoder, gps::GpsLogSink* log) {
  if (type_ == 0 || count_ == 0) return -1;
  const std::string_view text(reinterpret_cast<const char*>(buffer_), count_);
  RadioValues radio;
  int result = 0;
  {
    std::lock_guard guard(decoder.GpsFixLock());
    result = DecodeAlternatePass(text, positionSource_, fixTime_, decoder.FixUnderLock(), radio);
  }
  SetRadio(std::move(radio));
  if (positionSource_ && result != 1 && log != nullptr) log->GpsLogWrite(buffer_, count_);
  return result;
}

void AlternateSource::SetRadio(RadioValues radio) {
  std::lock_guard guard(radioLock_);
  radio_ = std::move(radio);
}

RadioValues AlternateSource::Radio() const {
  std::lock_guard guard(radioLock_);
  return radio_;
}

}  // namespace serial
