#pragma once
// The RDS group decoders: one object per group type that the warner decodes, all derived from
// CGroupDecoder, whose own Decode is the step every group runs first (and all that groups of the
// other types get).

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "platform/clock/clock.h"
#include "platform/reports/reporter.h"
#include "warner/traffic/code_lists/code_lists.h"
#include "warner/traffic/rds/rds_state.h"
#include "warner/traffic/rds/trace_sink.h"

namespace traffic {

inline constexpr size_t kGroupSize = 8;
using GroupBytes = std::span<const uint8_t, kGroupSize>;

// Codes of the faults a decoder catches, in the form the handheld reported them.
inline constexpr uint32_t kFaultNoMemory = 0xC0000017;
inline constexpr uint32_t kFaultOutOfBounds = 0xC000008C;
inline constexpr uint32_t kFaultOther = 0xE0000001;

// The four blocks of a group (each sent high byte first). Bit 15 is a block's most significant.
struct RdsBlocks {
  uint16_t a = 0;
  uint16_t b = 0;
  uint16_t c = 0;
  uint16_t d = 0;

  static RdsBlocks From(GroupBytes group);
  int GroupType() const { return b >> 12; }
  int Version() const { return (b >> 11) & 1; }  // 0 = A, 1 = B
  char VersionLetter() const { return Version() == 0 ? 'A' : 'B'; }
};

// What every decoder of one CRDSDecoder works with.
struct DecoderContext {
  RdsState& state;
  platform::Reporter& reporter;
  const platform::Clock& clock;  // local time of traffic messages
  CodeLists& codeLists;
  // Told the log line of every completed message (without its line end); may be empty.
  std::function<void(std::string_view line)> messageLogged;
};

class CGroupDecoder {
 public:
  explicit CGroupDecoder(DecoderContext& context);
  virtual ~CGroupDecoder() = default;
  CGroupDecoder(const CGroupDecoder&) = delete;
  CGroupDecoder& operator=(const CGroupDecoder&) = delete;

  // The plain reset: forgets the PI and the group fields and clears the station state, the
  // message count and the whole message store. Derived decoders clear only their own buffers.
  virtual void Reset();
  // The common step: keeps the group, resets on a new PI (kChangePi), takes country code, type,
  // version, TP and PTY, and writes the group's trace line.
  virtual uint32_t Decode(int position, GroupBytes group);
  virtual void SetTrace(TraceSink* sink, int level);
  // Formats a completed traffic message and appends it to the traffic log: 0, or -1 when there is
  // no log, the code lists miss a code, or the log could not be written (reported) or was foreign
  // (emptied, store and station state cleared, tmcMessageCount -1). The message may be gone after.
  virtual int LogMessage(TmcMessage& message);
  virtual void TraceGroup();
  // A fault caught while decoding a group of `groupType`: the first one is reported, the decoder
  // starts over; returns kChangeFault.
  virtual uint32_t OnException(int groupType, uint32_t code);

  // Decode with every fault caught; closes the group's trace line.
  uint32_t DecodeGroupSafely(int position, GroupBytes group);
  uint32_t FirstFaultCode() const { return firstFaultCode_; }

 protected:
  RdsState& State() { return context_.state; }
  DecoderContext& Context() { return context_; }
  const Trace& TraceSettings() const { return trace_; }
  const RdsBlocks& Blocks() const { return blocks_; }
  int Tp() const { return tp_; }
  int Pty() const { return pty_; }
  // Decoders of one group type take only that type; 0 for any other group.
  static bool IsGroupOfType(GroupBytes group, int groupType) { return (group[2] >> 4) == groupType; }

 private:
  DecoderContext& context_;
  int32_t pi_ = -1;
  int tp_ = -1;
  int pty_ = -1;
  RdsBlocks blocks_;  // the last group
  int position_ = -1;
  Trace trace_;
  uint32_t firstFaultCode_ = 0;
  bool faultReported_ = false;
};

}  // namespace traffic
