// Any byte stream through the framer and the parser, with the refill size taken from the input
// too, under each TMC source setting. Two decoders run side by side: one in the raw-byte log
// mode, which frames strictly byte by byte, and one in the normal mode, which takes runs of
// plain bytes at once; both must report the same results, sentences, fixes and records.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

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

// Random bytes almost never carry a right checksum, so half of the inputs get theirs repaired:
// the two characters after each '*' become the XOR of the bytes since the last '$'.
std::vector<uint8_t> WithRepairedChecksums(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  uint8_t sum = 0;
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] == '$') {
      sum = 0;
    } else if (bytes[i] == '*' && i + 2 < size) {
      static const char kHex[] = "0123456789ABCDEF";
      bytes[i + 1] = static_cast<uint8_t>(kHex[sum >> 4]);
      bytes[i + 2] = static_cast<uint8_t>(kHex[sum & 15]);
      i += 2;
    } else {
      sum ^= bytes[i] & 0x7F;
    }
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const int kTmcSources[] = {0, 1, 2, -2, -1};
  const int tmcSource = kTmcSources[data[0] % 5];
  const bool repair = (data[0] & 0x80) != 0;
  const size_t chunk = 1 + data[1] % gps::NmeaDecoder::kInputSize;
  const std::vector<uint8_t> input =
      repair ? WithRepairedChecksums(data + 2, size - 2) : std::vector<uint8_t>(data + 2, data + size);
  data = input.data();
  size = input.size();

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
