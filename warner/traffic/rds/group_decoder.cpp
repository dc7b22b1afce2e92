#include "warner/traffic/rds/group_decoder.h"

#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "warner/traffic/rds/tmc_format.h"
#include "warner/traffic/rds/tmc_log.h"

namespace traffic {

namespace {

uint16_t Block(GroupBytes group, size_t index) {
  return static_cast<uint16_t>(group[2 * index] << 8 | group[2 * index + 1]);
}

// The code of the exception being handled.
uint32_t CurrentFaultCode() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return kFaultNoMemory;
  } catch (const std::out_of_range&) {
    return kFaultOutOfBounds;
  } catch (const std::length_error&) {
    return kFaultOutOfBounds;
  } catch (...) {
    return kFaultOther;
  }
}

}  // namespace

RdsBlocks RdsBlocks::From(GroupBytes group) {
  return {Block(group, 0), Block(group, 1), Block(group, 2), Block(group, 3)};
}

CGroupDecoder::CGroupDecoder(DecoderContext& context) : context_(context) { CGroupDecoder::Reset(); }

void CGroupDecoder::Reset() {
  if (trace_.At(3)) trace_.sink->Printf("CGroupDecoder Reset\n");
  pi_ = -1;
  tp_ = pty_ = -1;
  blocks_ = {};
  position_ = -1;
  RdsState& state = State();
  state.aid = 0;
  state.ltn = 0;
  state.countryCode = 0;
  state.sid = 0;
  state.tmcMessageCount = 0;
  state.ps.fill(0);
  state.FreeMessages();
}

uint32_t CGroupDecoder::Decode(int position, GroupBytes group) {
  const RdsBlocks blocks = RdsBlocks::From(group);
  uint32_t result = 0;
  if (pi_ != blocks.a) {
    Reset();
    pi_ = blocks.a;
    result = kChangePi;
  }
  // After the reset, which forgets the last group.
  blocks_ = blocks;
  position_ = position;
  State().countryCode = blocks_.a >> 12;
  const int tp = (blocks_.b >> 10) & 1;
  const int pty = (blocks_.b >> 5) & 0x1F;
  if (tp != tp_) result |= kChangeTrafficFlags;
  if (pty != pty_) result |= kChangePty;
  tp_ = tp;
  pty_ = pty;
  TraceGroup();
  return result;
}

void CGroupDecoder::SetTrace(TraceSink* sink, int level) { trace_ = {sink, level}; }

int CGroupDecoder::LogMessage(TmcMessage& message) {
  RdsState& state = State();
  // Without a log the message is still told: a traffic log that can't be written must not hide
  // the traffic from whoever shows it.
  if (state.logPath.empty() && !context_.messageLogged) return -1;
  if (FormatTmcMessage(message, context_.codeLists) != 0) return -1;
  const std::string line = TrafficLogLine(message);
  int result = -1;
  if (!state.logPath.empty()) {
    switch (AppendTrafficLogLine(state.logPath, line)) {
      case LogAppendResult::kAppended: result = 0; break;
      case LogAppendResult::kForeign:
        CGroupDecoder::Reset();
        state.tmcMessageCount = -1;  // the caller's count brings it to 0
        return -1;
      case LogAppendResult::kFailed:
        context_.reporter.ErrorLastError("Can't append a new message to %s.\nTMC recording will be stopped.\n",
                                         state.logPath.c_str());
        state.logPath.clear();
        break;
    }
  }
  if (context_.messageLogged) {
    std::string_view shown = line;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r')) shown.remove_suffix(1);
    context_.messageLogged(shown);
  }
  return result;
}

void CGroupDecoder::TraceGroup() {
  if (!trace_.At(3)) return;
  TraceSink& sink = *trace_.sink;
  if (position_ != -1) sink.Printf("%06x: ", static_cast<unsigned>(position_));
  sink.Printf("%04X %04X %04X %04X: RDS_%02d_%c ", blocks_.a, blocks_.b, blocks_.c, blocks_.d, blocks_.GroupType(),
              blocks_.VersionLetter());
}

uint32_t CGroupDecoder::OnException(int groupType, uint32_t code) {
  if (!faultReported_) {
    faultReported_ = true;
    firstFaultCode_ = code;
    context_.reporter.Error("Exception in decoding RDS Group %d, Reason %X", groupType, code);
  }
  if (trace_.sink != nullptr) {
    trace_.sink->EndLine();
    trace_.sink->Printf("### Exception Code No 0x%X ###\n", code);
  }
  Reset();
  return kChangeFault;
}

uint32_t CGroupDecoder::DecodeGroupSafely(int position, GroupBytes group) {
  try {
    const uint32_t result = Decode(position, group);
    if (trace_.sink != nullptr) trace_.sink->EndLine();
    return result;
  } catch (...) {
    return OnException(group[2] >> 4, CurrentFaultCode());
  }
}

}  // namespace traffic
