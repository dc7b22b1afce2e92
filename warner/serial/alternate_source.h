#pragma once
// The alternate file: a small text that another program rewrites periodically with the position,
// course, speed and satellites it knows and the radio station it hears. It is either the warner's
// position source or, beside an NMEA source, only the source of the radio values.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/clock/clock.h"
#include "platform/reports/reporter.h"
#include "warner/gps/gps_log.h"
#include "warner/gps/nmea_decoder.h"

namespace serial {

// The values of one alternate text; a key that is missing leaves its default.
struct AlternateFields {
  bool satellitesGiven = false;
  int satellites = -1;   // "nsat ="
  double longitude = 0;  // "x =", east positive
  double latitude = 0;   // "y =", north positive
  double course = 0;     // "course =", turned into degrees clockwise (360 - value, into 0..360)
  double speed = 0;      // "speed ="
  int messageCount = 0;  // "ntmcm =": traffic messages the other program holds
  std::string station;   // "station =": at most kStationChars bytes, Windows-1252 as in the file
};

inline constexpr size_t kStationChars = 42;

// Reads the keys out of a text (up to its first NUL, as the other program ends it).
AlternateFields ParseAlternateText(std::string_view text);

// The radio values of the last decoded text (station in UTF-8).
struct RadioValues {
  int messageCount = 0;
  std::string station;

  bool operator==(const RadioValues&) const = default;
};

// One decoding pass over a text, as DecodeAlternateText makes it once the text is read. As
// position source the fix is written (time from `fixTime`, the file's last write) and its count of
// failed passes kept: 0 a good fix, 1 without satellites, -3 with two or fewer. As radio source
// the fix is left alone: 0, or 1 without satellites. `radio` gets the text's radio values, or
// none when the pass failed with 1.
int DecodeAlternatePass(std::string_view text, bool positionSource, const platform::SystemTime& fixTime,
                        gps::GpsFix& fix, RadioValues& radio);

class AlternateSource {
 public:
  static constexpr size_t kBufferSize = 256;
  static constexpr int kFindAttempts = 5;
  static constexpr int64_t kStaleAfterMs = 2000;
  // The local copy the text is read from, so the other program can rewrite its file meanwhile.
  static constexpr const char* kLocalCopy = "\\Windows\\SntAlter.txt";

  // type: AlternateSourceType (0 none, above 0 position source, below 0 radio values only).
  AlternateSource(std::string path, int type, platform::Reporter& reporter, const platform::Clock& clock,
                  uint32_t retryWaitMs = 100);

  // A type is set and the file is named.
  bool Configured() const { return type_ != 0 && !path_.empty(); }
  bool IsPositionSource() const { return positionSource_; }

  // When the sources start: forgets what was read and checks the file (ReadAlternateFile in
  // check-only mode); with a positive type the file then becomes the position source. 0 or the
  // error of the check. Does nothing unless Configured().
  uint32_t Start();
  // The sources stop: the file is no position source until the next Start.
  void Stop() { positionSource_ = false; }

  // Takes the file's text into the buffer when it changed; *count says how many bytes came (0:
  // nothing new). 0, or 21 when the position source has not been rewritten for more than 2 s, 55
  // when the file is write-protected, 8255 when it stays missing, or an error of the local copy.
  uint32_t ReadAlternateFile(bool checkOnly, size_t* count);

  // Decodes the text the last read took: -1 when it took none; as position source 0 for a good
  // fix, 1 without satellites and -3 with two or fewer, written into the decoder's fix; as radio
  // source 0, or 1 without satellites. The radio values are refreshed either way.
  int DecodeAlternateText(gps::NmeaDecoder& decoder, gps::GpsLogSink* log);

  // A consistent copy, for any thread.
  RadioValues Radio() const;

 private:
  // 0 when the file is there (attempts and waits as the mode asks), else the code to return.
  uint32_t FindFile(bool checkOnly, bool* skip);
  uint32_t ReadLocalCopy(size_t* count);
  void SetRadio(RadioValues radio);

  const std::string path_;
  const int type_;
  platform::Reporter& reporter_;
  const platform::Clock& clock_;
  const uint32_t retryWaitMs_;

  bool positionSource_ = false;
  bool seenWrite_ = false;
  int64_t lastWriteUtcMs_ = 0;
  platform::SystemTime fixTime_;
  uint8_t buffer_[kBufferSize] = {};
  size_t count_ = 0;

  mutable std::mutex radioLock_;
  RadioValues radio_;
};

}  // namespace serial
