#pragma once
// The owner of the group decoders: confirms the station's PI, hands each group to the decoder of
// its type and keeps the TmcStatus that the display reads.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>

#include "platform/clock/clock.h"
#include "platform/reports/reporter.h"
#include "warner/gps/nmea_decoder.h"
#include "warner/traffic/code_lists/code_lists.h"
#include "warner/traffic/rds/group8_decoder.h"
#include "warner/traffic/rds/group_decoder.h"
#include "warner/traffic/rds/info_decoders.h"
#include "warner/traffic/rds/rds_state.h"
#include "warner/traffic/rds/station_decoders.h"
#include "warner/traffic/rds/trace_sink.h"

namespace traffic {

inline constexpr const char* kDefaultLogName = "SntTMC.txt";

class CRDSDecoder final : public gps::TmcRecordSink {
 public:
  static constexpr size_t kGroupTypes = 16;
  static constexpr size_t kPiHistory = 3;

  // The code lists, reporter and clock must outlive the decoder.
  CRDSDecoder(CodeLists& codeLists, platform::Reporter& reporter, const platform::Clock& clock);

  // Clears the station state, the message store, every decoder, the trace settings and the PI
  // history; the log name becomes the bare kDefaultLogName.
  void Reset();
  // A non-zero level traces the types with a decoder at level 2 and the others at `level`.
  void SetTrace(TraceSink* sink, int level);
  // The trace level of one group type (0..15), for a closer look at its groups.
  void SetGroupTraceLevel(int groupType, int level);
  // A Linux path of at most kLogPathMax bytes, or empty for no traffic log; false (and no log)
  // for a longer one.
  bool SetLogName(std::string_view path);
  // Told the log line of every completed message, without its line end, whether the traffic log
  // took it or there is none (not written, or a name too long); not for a message dropped with a
  // foreign log file that was emptied.
  void SetLogObserver(std::function<void(std::string_view line)> observer) {
    context_.messageLogged = std::move(observer);
  }

  // The change bits of the group's decoder, or 0 when the group was dropped (PI not confirmed).
  uint32_t DecodeGroup(int position, GroupBytes group);
  // The framer's records: bytes 1..9 of each; the first eight are the group.
  void GroupInput(const uint8_t* bytes, size_t count, int channel) override;

  const RdsState& State() const { return state_; }
  // For the display thread: take Status().Snapshot().
  const SharedTmcStatus& Status() const { return status_; }

 private:
  CGroupDecoder& DecoderOf(int groupType);
  void HandTraceToDecoders();

  RdsState state_;
  DecoderContext context_;
  CGroupDecoder plain_;
  CGroup0Decoder group0_;
  CGroup1Decoder group1_;
  CGroup2Decoder group2_;
  CGroup3Decoder group3_;
  CGroup4Decoder group4_;
  CGroup8Decoder group8_;
  CGroup10Decoder group10_;
  CGroup14Decoder group14_;
  std::array<CGroupDecoder*, kGroupTypes> table_{};
  std::array<int, kGroupTypes> traceLevels_{};
  std::array<uint32_t, kPiHistory> piHistory_{};
  size_t piNext_ = 0;
  Trace trace_;
  SharedTmcStatus status_;
};

}  // namespace traffic
