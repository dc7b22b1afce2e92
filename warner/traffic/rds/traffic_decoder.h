#pragma once
// Traffic decoding as the warner runs it: started from the settings at program start, fed with
// TMC records by the NMEA framer or from a separate TMC source, stopped at program exit.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/clock/clock.h"
#include "platform/reports/reporter.h"
#include "warner/gps/gps_log.h"
#include "warner/traffic/code_lists/code_lists.h"
#include "warner/traffic/rds/rds_decoder.h"

namespace traffic {

// Reads up to `capacity` bytes of the TMC source into `buffer`, the count into *count; returns 0
// or a system error number.
using TmcReadFunction = std::function<uint32_t(uint8_t* buffer, size_t capacity, size_t* count)>;

// Cuts 10-byte TMC records out of a byte stream: a '?' outside a record starts one, the next nine
// bytes complete it, and bytes outside records are dropped. A record may span several calls.
class TmcRecordScanner {
 public:
  static constexpr size_t kRecordSize = gps::NmeaDecoder::kTmcRecordSize;

  // True when `byte` completed a record; Record() then holds it.
  bool Take(uint8_t byte);
  const uint8_t* Record() const { return record_; }

 private:
  uint8_t record_[kRecordSize] = {};
  size_t count_ = 0;
};

// What traffic decoding takes of the settings.
struct TrafficSettings {
  int evaluateTmc = 0;         // EvaluateTMC: 0 off; negative decodes without code lists and log
  int writeMergedLog = 0;      // WriteMergedLog: the separate source's records go to the GPS log
  std::string programFolder;   // Linux path of the folder with the code lists
  std::string trafficLogPath;  // Linux path of the traffic log (TrafficLogPath)
};

class TrafficDecoder {
 public:
  static constexpr size_t kReadSize = 256;

  // `gpsLog` (may be null) receives the records of the TMC source when WriteMergedLog is set.
  TrafficDecoder(platform::Reporter& reporter, const platform::Clock& clock, gps::GpsLogSink* gpsLog = nullptr);

  // With EvaluateTMC non-zero: opens the code lists from the program folder when the setting is
  // positive, creates the decoder and sets the traffic log while the setting stays positive.
  // Returns the EvaluateTMC in effect, negated when a code list failed: the caller keeps it as
  // the setting from then on.
  int StartTraffic(const TrafficSettings& settings);
  // When started: destroys the decoder and its message store, closes the code lists.
  void StopTraffic();

  // For a separate TMC source: -1 when the read fails (the error is the last error), 0 when it
  // gave nothing, else the number of records passed to the decoder.
  int ReadTmcPort(const TmcReadFunction& read);

  // Null while traffic decoding is off; the framer's TMC sink otherwise.
  CRDSDecoder* Decoder() { return decoder_.get(); }

 private:
  platform::Reporter& reporter_;
  const platform::Clock& clock_;
  gps::GpsLogSink* gpsLog_;
  CodeLists codeLists_;
  std::unique_ptr<CRDSDecoder> decoder_;
  int writeMergedLog_ = 0;
  TmcRecordScanner scanner_;
};

// The traffic log in the ASC write folder ("SntTMC.txt", "RvrTMC.txt" in Rover mode), as a Linux path.
std::string TrafficLogPath(std::string_view ascWriteDirPath, bool rover);

}  // namespace traffic
