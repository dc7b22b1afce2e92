#pragma once
// Turns the receiver's byte stream into GpsFix: a framer that cuts NMEA sentences out of raw
// bytes (lifting embedded 10-byte TMC records out of the stream) and a parser for GGA, RMC and
// VTG. Runs on the worker thread; other threads read the fix through Snapshot().

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/sync/critical_section.h"
#include "warner/gps/gps_fix.h"

namespace gps {

class GpsLogSink;

// Receives the nine bytes after the '?' of every embedded TMC record (the RDS group decoder).
class TmcRecordSink {
 public:
  virtual ~TmcRecordSink() = default;
  virtual void GroupInput(const uint8_t* bytes, size_t count, int channel) = 0;
};

// The two settings the framer reads.
struct NmeaSettings {
  int writeMergedLog = 0;  // non-zero: log every raw byte; zero: log whole sentences
  int evaluateTmc = 0;     // 0 none, 2/-2 separate TMC port, other values embedded records
};

class NmeaDecoder {
 public:
  static constexpr size_t kInputSize = 64;
  static constexpr size_t kSentenceSize = 256;
  static constexpr size_t kTmcRecordSize = 10;
  static constexpr int kTmcChannelEmbedded = -1;

  // gpsFixLock is shared with the engine and the displays; log may be null.
  explicit NmeaDecoder(platform::CriticalSection& gpsFixLock, GpsLogSink* log = nullptr);

  void SetSettings(const NmeaSettings& settings) { settings_ = settings; }
  // Null (no traffic decoder): embedded records are still cut out, then dropped.
  void SetTmcSink(TmcRecordSink* sink) { tmcSink_ = sink; }

  // Clears the fix and every framer state under the fix lock.
  void ResetGpsFix();

  // The reader fills the input buffer after NextSentence reported it used up.
  uint8_t* InputBuffer() { return input_; }
  void SetInputCount(size_t count);
  // Copies up to kInputSize bytes into the input buffer; returns how many were taken.
  size_t FeedInput(std::span<const uint8_t> bytes);

  // kFrameSentence when a sentence stands in the sentence buffer, kFrameError on a framing
  // error, kFrameInputUsedUp when the input buffer is used up.
  int NextSentence();
  // The last framed sentence, line end included, bytes with bit 7 cleared.
  std::string_view Sentence() const;
  // Parses the framed sentence into the fix; one of ParseResult.
  int ParseSentence();

  // A consistent copy of the fix, taken under the fix lock.
  GpsFix Snapshot() const;
  platform::CriticalSection& GpsFixLock() const { return gpsFixLock_; }
  // The fix itself, for the engine, which consumes validMask. Hold GpsFixLock() around its use.
  GpsFix& FixUnderLock() { return fix_; }

 private:
  enum class FrameState { kWaitingForDollar, kInSentence, kComplete };
  static constexpr int kNoFrameResult = 2;

  void TakePlainRun();
  bool TakeIntoTmcRecord(uint8_t byte);
  int FrameByte(uint8_t byte);
  int FramingError();
  int ParseGga(const class NmeaSentence& sentence);
  int ParseRmc(const class NmeaSentence& sentence);
  int ParseVtg(const class NmeaSentence& sentence);
  int Reject(uint32_t type);

  platform::CriticalSection& gpsFixLock_;
  GpsLogSink* log_;
  TmcRecordSink* tmcSink_ = nullptr;
  NmeaSettings settings_;
  GpsFix fix_;

  uint8_t input_[kInputSize] = {};
  size_t inputCount_ = 0;
  size_t inputPos_ = 0;

  uint8_t sentence_[kSentenceSize + 1] = {};
  size_t sentenceLength_ = 0;
  FrameState state_ = FrameState::kWaitingForDollar;
  size_t bytesSinceSentence_ = 0;
  size_t maxSentenceLength_ = kSentenceSize;

  uint8_t tmcRecord_[kTmcRecordSize] = {};
  bool tmcInProgress_ = false;
  size_t tmcCount_ = 0;
};

}  // namespace gps
