#pragma once
// The warner's worker loop without windows. Bytes from a source go through the NMEA framer and
// parser to the satellite sounds and the warning engine; what happens is published to an
// observer, which the GUI, the headless program and the tests implement.
//
// Threads: Run occupies the calling thread (the worker) until the stop flag is set or the source
// ends it; the stop flag may be set from any thread. The observer is called on the worker thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "warner/core/engine/engine_output.h"
#include "warner/gps/gps_fix.h"

namespace warner {

// Where the worker reads from: returns a system error number (0 = fine, with *count bytes,
// possibly 0; 13 = data lost; 21 = not ready; 38 = end of a replayed file; 55, 8255 and others
// end the loop).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint32_t Read(uint8_t* buffer, size_t capacity, size_t* count) = 0;
};

// The separate traffic-message port, read by the worker whenever the GPS source is idle (the
// traffic decoder implements it).
class TrafficPortReader {
 public:
  virtual ~TrafficPortReader() = default;
  virtual int ReadTmcPort() = 0;
};

// The alternate file: another program's text with position and radio values (the serial sources
// implement it).
class AlternateFileReader {
 public:
  virtual ~AlternateFileReader() = default;
  // As ByteSource::Read, with *count the size of a new text (0: nothing new); the text itself
  // stays with the reader.
  virtual uint32_t ReadAlternateFile(size_t* count) = 0;
  // Decodes the text last read (writing the fix when the file is the position source): 0 a good
  // fix, 1 or -3 no fix, -1 nothing to decode.
  virtual int DecodeAlternateText() = 0;
};

// The satellite fix and lost sounds (the alarm output implements them).
class SatelliteSoundOutput {
 public:
  virtual ~SatelliteSoundOutput() = default;
  virtual void Reset() = 0;                       // when the worker starts
  virtual void SatFixRegained(int32_t type) = 0;  // sentence type, or -1 to force
  virtual void SatFixLost(int32_t typeBits) = 0;  // sentence type bits, or -1 to force
};

// Everything the worker does that someone may want to see, besides the engine's own events.
class WorkerObserver {
 public:
  virtual ~WorkerObserver() = default;
  enum class Status { kSearching, kFix, kNoFix, kInactive };
  virtual void StatusChanged(Status /*status*/) {}
  // The source said it is not ready (a receiver unplugged): the face stops its refresh and hides
  // its windows until data comes again.
  virtual void SourceNotReady() {}
  virtual void CurrentPositionWritten(std::string_view /*path*/, std::string_view /*line*/) {}
  virtual void WorkerEnded(uint32_t /*errorCode*/) {}
  // An exception escaped one pass of the loop; reported once per run, then the loop starts over.
  virtual void Fault(std::string_view /*text*/) {}
};

}  // namespace warner

#include <atomic>
#include <functional>

#include "platform/clock/clock.h"
#include "warner/core/engine/warning_engine.h"
#include "warner/gps/nmea_decoder.h"

namespace warner {

struct WorkerSettings {
  int playSatFixSound = 2;  // PlaySatFixSound: bad sentences before the lost sound; 0 off
  int evaluateTmc = 0;      // EvaluateTMC: 2 or -2 reads the traffic port on idle passes
  int writeMergedLog = 0;   // WriteMergedLog
};

class GpsWorker {
 public:
  // sleep: how the worker waits on an idle or not-ready source (tests pass a fake).
  GpsWorker(gps::NmeaDecoder& decoder, WarningEngine& engine, SatelliteSoundOutput& sounds, WorkerObserver& observer,
            WorkerSettings settings, std::function<void(uint32_t ms)> sleep);
  GpsWorker(const GpsWorker&) = delete;
  GpsWorker& operator=(const GpsWorker&) = delete;

  static constexpr uint32_t kIdleWaitMs = 100;
  static constexpr uint32_t kIdleLimitMs = 2000;  // silence before the lost sound is forced
  static constexpr uint32_t kNotReadyWaitMs = 2000;
  static constexpr uint32_t kFaultWaitMs = 100;  // keeps a fault that repeats from spinning
  // The code reported for an exception that carries no system error number.
  static constexpr uint32_t kExceptionCode = 0xE0000000;

  // One activation: reset, then the read loop until `stop` is set or the source ends it; then the
  // forced lost sound and the end event. Returns the error code (0 when stopped, 38 at the end of a
  // replayed file, the source's code otherwise). Without a byte source the alternate file is the
  // position source when one is set, else the run ends at once with 55.
  uint32_t Run(ByteSource* source, const std::atomic<bool>& stop);
  uint32_t Run(ByteSource& source, const std::atomic<bool>& stop) { return Run(&source, stop); }

  // The alternate file, as the position source (read instead of bytes when Run has no byte
  // source) or, with positionSource false, for the radio values after each pass that decoded a fix.
  void SetAlternateFileReader(AlternateFileReader* reader, bool positionSource);
  // Read on every idle pass when EvaluateTMC is 2 or -2.
  void SetTrafficPortReader(TrafficPortReader* reader);

 private:
  // 0 to go on, else the code that ends the loop.
  uint32_t ReadOnce(ByteSource& source);
  uint32_t ReadAlternateOnce();
  // Acts on a reader's result; `decode` handles the bytes of a successful read.
  template <class Decode>
  uint32_t ActOnRead(uint32_t result, size_t count, Decode decode);
  void DecodeInput();
  // A parsed sentence or decoded alternate text: kParseFix evaluates the fix, a failure sounds lost.
  void HandleFixResult(int result, bool alternateText);
  void RefreshRadioValues();
  void HandleIdle();
  void ResetDecoding();
  void ForceSatLost();
  void SetStatus(WorkerObserver::Status status);

  gps::NmeaDecoder& decoder_;
  WarningEngine& engine_;
  SatelliteSoundOutput& sounds_;
  WorkerObserver& observer_;
  WorkerSettings settings_;
  std::function<void(uint32_t ms)> sleep_;
  AlternateFileReader* alternate_ = nullptr;
  bool alternateIsPosition_ = false;
  bool radioRefreshFailed_ = false;
  TrafficPortReader* trafficReader_ = nullptr;
  uint32_t idleMs_ = 0;
  WorkerObserver::Status status_ = WorkerObserver::Status::kInactive;
};

// The fault text for an exception code, as the observer's Fault receives it.
std::string WorkerFaultText(uint32_t code);

// The position line written as a record and as the current position (Windows-1252 bytes, with
// CR LF): longitude, latitude and the quoted comment with the program name, the date source ("GD"
// from the fix when its month is set, else "SD" from utcNow), the date, the fix time, speed,
// course with the degree sign (byte 0xB0), altitude, satellites and HDOP. The converter reads
// these lines back as POIs. programName may carry a folder and an extension; both are dropped.
std::string PositionRecordLine(const gps::GpsFix& fix, std::string_view programName,
                               const platform::SystemTime& utcNow);
// Rewrites the current-position file (Linux path) with one line, so that it only ever holds the
// latest position; -1 when it cannot be opened or the line cannot be written, 0 otherwise.
int WriteCurrentPosition(const std::string& linuxPath, const gps::GpsFix& fix, std::string_view programName,
                         const platform::SystemTime& utcNow);

}  // namespace warner
