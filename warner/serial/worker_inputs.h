#pragma once
// The serial sources as the worker reads them.

#include "warner/core/worker/gps_worker.h"
#include "warner/gps/gps_log.h"
#include "warner/gps/nmea_decoder.h"
#include "warner/serial/alternate_source.h"
#include "warner/serial/serial_sources.h"

namespace serial {

class GpsByteInput final : public warner::ByteSource {
 public:
  explicit GpsByteInput(SerialSources& sources) : sources_(sources) {}
  uint32_t Read(uint8_t* buffer, size_t capacity, size_t* count) override {
    return sources_.ReadGpsBytes(buffer, capacity, count);
  }

 private:
  SerialSources& sources_;
};

// The alternate file decoded into the decoder's fix; `log` (may be null) receives each text read
// as position source.
class AlternateFileInput final : public warner::AlternateFileReader {
 public:
  AlternateFileInput(AlternateSource& source, gps::NmeaDecoder& decoder, gps::GpsLogSink* log)
      : source_(source), decoder_(decoder), log_(log) {}
  uint32_t ReadAlternateFile(size_t* count) override { return source_.ReadAlternateFile(false, count); }
  int DecodeAlternateText() override { return source_.DecodeAlternateText(decoder_, log_); }

 private:
  AlternateSource& source_;
  gps::NmeaDecoder& decoder_;
  gps::GpsLogSink* log_;
};

}  // namespace serial
