#pragma once
// The decoders of the station state the warner uses: the station name (group 0) and the
// announcement of the traffic message channel (group 3A).

#include <array>

#include "warner/traffic/rds/group_decoder.h"

namespace traffic {

// Groups 0A and 0B: station name (PS), TA and music/speech.
class CGroup0Decoder final : public CGroupDecoder {
 public:
  explicit CGroup0Decoder(DecoderContext& context) : CGroupDecoder(context) {}

  void Reset() override;
  uint32_t Decode(int position, GroupBytes group) override;

 private:
  uint32_t TakeSegment(int segment);
  uint32_t TakeStationName();
  void TraceSegment(int segment);
  void TraceStation();

  std::array<char, kPsLength> name_{};
  bool nameComplete_ = false;
  int expectedSegment_ = 0;
  int segmentMask_ = 0;
  int musicSpeech_ = -1;
  int decoderInformation_ = 0;
};

// Groups 3A and 3B: open data applications; the TMC announcement gives AID, LTN and SID.
class CGroup3Decoder final : public CGroupDecoder {
 public:
  explicit CGroup3Decoder(DecoderContext& context) : CGroupDecoder(context) {}

  // Keeps everything: what group 3A announces lives in RdsState and outlasts a new PI here.
  void Reset() override {}
  uint32_t Decode(int position, GroupBytes group) override;

 private:
  uint32_t TakeTmcAnnouncement();
};

}  // namespace traffic
