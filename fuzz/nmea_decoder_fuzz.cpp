// Any byte stream through the framer and the parser, with the refill size taken from the input
// too, under each TMC source setting. Two decoders run side by side: one in the raw-byte log
// mode, which frames strictly byte by byte, and one in the normal mode, which takes runs of
// plain bytes at once; both must report the same results, sentences, fixes and records.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/sync/critical_section.h"
#include "warner/gps/nmea_decoder.h"

namespace {

class RecordingTmcSink : public gps::TmcRecordSink {
 public:
  void GroupInput(const uint8_t* bytes, size_t count, int) override {
    if (count != 9) std::abort();
    records.append(reinterpret_cast<const char*>(bytes), count);
  }
  std::string records;
};

void CheckFix(const gps::GpsFix& f) {
  // The parser promises finite numbers and the documented character sets.
  for (double v : {f.latitude, f.longitude, f.speedKmh, f.course, f.altitude, f.geoidSeparation, f.hdop}) {
    if (!(v - v == 0.0)) std::abort();
  }
  if (f.latHemisphere != u'N' && f.latHemisphere != u'S' && f.latHemisphere != u' ') std::abort();
  if (f.lonHemisphere != u'E' && f.lonHemisphere != u'W' && f.lonHemisphere != u' ') std::abort();
  if (f.badSentenceCount < 0) std::abort();
}

struct Lane {
  Lane(int writeMergedLog, int tmcSource) : decoder(lock) {
    decoder.SetSettings({writeMergedLog, tmcSource});
    decoder.SetTmcSink(tmcSource != 0 ? &sink : nullptr);
    decoder.ResetGpsFix();
  }
  platform::CriticalSection lock;
  gps::NmeaDecoder decoder;
  RecordingTmcSink sink;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const int kTmcSources[] = {0, 1, 2, -2, -1};
  const int tmcSource = kTmcSources[data[0] % 5];
  const size_t chunk = 1 + data[1] % gps::NmeaDecoder::kInputSize;
  data += 2;
  size -= 2;

  Lane bytewise(1, tmcSource);
  Lane runs(0, tmcSource);
  for (size_t at = 0; at < size;) {
    const size_t n = size - at < chunk ? size - at : chunk;
    bytewise.decoder.FeedInput({data + at, n});
    at += runs.decoder.FeedInput({data + at, n});
    for (;;) {
      const int next = runs.decoder.NextSentence();
      if (bytewise.decoder.NextSentence() != next) std::abort();
      if (next == gps::kFrameInputUsedUp) break;
      if (runs.decoder.Sentence() != bytewise.decoder.Sentence()) std::abort();
      if (runs.decoder.Sentence().size() > gps::NmeaDecoder::kSentenceSize) std::abort();
      if (next == gps::kFrameSentence && runs.decoder.ParseSentence() != bytewise.decoder.ParseSentence()) {
        std::abort();
      }
      const gps::GpsFix fix = runs.decoder.Snapshot();
      CheckFix(fix);
      if (!(fix == bytewise.decoder.Snapshot())) std::abort();
    }
  }
  if (runs.sink.records != bytewise.sink.records) std::abort();
  return 0;
}
