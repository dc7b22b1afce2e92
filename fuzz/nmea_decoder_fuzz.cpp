// Any byte stream through the framer and the parser, with the refill sizes taken from the input
// too, under each TMC source setting and both log modes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/sync/critical_section.h"
#include "warner/gps/nmea_decoder.h"

namespace {

class CountingTmcSink : public gps::TmcRecordSink {
 public:
  void GroupInput(const uint8_t* bytes, size_t count, int) override {
    // The nine bytes after the '?' must all be readable.
    if (count != 9) std::abort();
    for (size_t i = 0; i < count; ++i) sum_ += bytes[i];
  }

 private:
  unsigned sum_ = 0;
};

void CheckFix(const gps::GpsFix& f) {
  // The parser promises finite numbers and the documented character sets.
  const double values[] = {f.latitude, f.longitude, f.speedKmh, f.course, f.altitude, f.geoidSeparation, f.hdop};
  for (double v : values) {
    if (!(v == v) || v - v != 0.0) std::abort();
  }
  if (f.latHemisphere != u'N' && f.latHemisphere != u'S' && f.latHemisphere != u' ') std::abort();
  if (f.lonHemisphere != u'E' && f.lonHemisphere != u'W' && f.lonHemisphere != u' ') std::abort();
  if (f.badSentenceCount < 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const int kTmcSources[] = {0, 1, 2, -2, -1};
  const int tmcSource = kTmcSources[data[0] % 5];
  const size_t chunk = 1 + data[1] % gps::NmeaDecoder::kInputSize;
  data += 2;
  size -= 2;

  platform::CriticalSection lock;
  gps::NmeaDecoder decoder(lock);
  CountingTmcSink sink;
  decoder.SetSettings({0, tmcSource});
  decoder.SetTmcSink(tmcSource != 0 ? &sink : nullptr);
  decoder.ResetGpsFix();
  for (size_t at = 0; at < size;) {
    const size_t n = size - at < chunk ? size - at : chunk;
    at += decoder.FeedInput({data + at, n});
    for (int next; (next = decoder.NextSentence()) != gps::kFrameInputUsedUp;) {
      if (next == gps::kFrameSentence) {
        if (decoder.Sentence().size() > gps::NmeaDecoder::kSentenceSize) std::abort();
        decoder.ParseSentence();
        CheckFix(decoder.Snapshot());
      }
    }
  }
  return 0;
}
