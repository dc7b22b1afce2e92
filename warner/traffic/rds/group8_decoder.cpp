#include "warner/traffic/rds/group8_decoder.h"

#include <algorithm>
#include <cstring>

#include "warner/traffic/rds/info_decoders.h"

namespace traffic {

namespace {

// Block B bits 4-3 of group 8A.
constexpr int kMultiGroupMessage = 0;
constexpr int kSingleGroupMessage = 1;

// A first group starts the assembly afresh, also for a message the store already holds: its
// earlier data words would otherwise make a half-received repetition look complete.
void RestartAssembly(TmcMessage& m) {
  m.complete = 0;
  m.remaining = -1;
  m.groupCount = -1;
  m.dataWords.fill(kWordNotReceived);
  m.reversed = 0;
  m.diversion = 0;
  m.quantityText.clear();
}

bool SameContentAsLastCompletion(const TmcMessage& m) {
  if (m.completedGroupCount != m.groupCount) return false;
  const auto words = static_cast<size_t>(m.groupCount + 1);
  return std::equal(m.dataWords.begin(), m.dataWords.begin() + words, m.completedWords.begin());
}

}  // namespace

void CGroup8Decoder::Reset() {
  slots_ = {};
  toggle_ = 0;
  assembling_ = nullptr;
}

uint32_t CGroup8Decoder::Decode(int position, GroupBytes group) {
  if (!IsGroupOfType(group, 8)) return 0;
  const uint32_t result = CGroupDecoder::Decode(position, group);
  const RdsBlocks& g = Blocks();
  if (g.Version() == 1) {
    if (TraceSettings().At(3)) TraceSettings().sink->Printf("...\n");
    return result;
  }
  if (!IsTmcAid(State().aid)) return 0;
  if (!PassesRepeatFilter(group)) return result;
  switch ((g.b >> 3) & 3) {
    case kSingleGroupMessage: return result | DecodeSingleGroup();
    case kMultiGroupMessage: return result | ((g.c & 0x8000) != 0 ? DecodeFirstGroup() : DecodeFollowingGroup());
    default: TraceSystemInformation(); return result;
  }
}

// Receivers get every TMC group twice in a row: only the second copy of a group counts, and a
// third copy is ignored.
bool CGroup8Decoder::PassesRepeatFilter(GroupBytes group) {
  const auto matches = std::count_if(slots_.begin(), slots_.end(), [&](const auto& slot) {
    return std::equal(slot.begin(), slot.end(), group.begin());
  });
  std::copy(group.begin(), group.end(), slots_[toggle_].begin());
  toggle_ ^= 1;
  if (matches != 1 && TraceSettings().At(3)) {
    TraceSettings().sink->Printf("TMC Match: %d, LastAccess %d\n", static_cast<int>(matches),
                                 static_cast<int>(toggle_));
  }
  return matches == 1;
}

TmcMessage CGroup8Decoder::NewMessage(uint8_t kind) {
  const RdsBlocks& g = Blocks();
  const RdsState& state = State();
  TmcMessage m;
  m.kind = kind;
  m.countryCode = static_cast<uint8_t>(state.countryCode);
  m.ltn = static_cast<uint8_t>(state.ltn);
  m.stationName.assign(state.ps.data(), strnlen(state.ps.data(), kPsLength));
  m.time = Context().clock.LocalTime();
  m.event = g.c & 0x7FF;
  m.location = g.d;
  m.extent = (g.c >> 11) & 7;
  m.direction = (g.c >> 14) & 1;
  if (kind == TmcMessage::kSingleGroup) {
    m.complete = 1;
    m.remaining = 0;
    m.duration = static_cast<uint8_t>(g.b & 7);
    m.diversion = static_cast<int8_t>(g.c >> 15);
  } else {
    m.ci = g.b & 7;
  }
  m.trace = TraceSettings();
  if (m.trace.At(3)) {
    m.trace.sink->Printf(
        "TMC%c: tms.Duration: %d, tms.Direction: %d, tms.Diversion: %d, tms.Extent:%d, Event: %6d Location %6d.\n",
        m.KindLetter(), m.duration, m.direction, m.diversion, m.extent, m.event, m.location);
  }
  return m;
}

TmcMessage* CGroup8Decoder::FindStored(const TmcMessage& message) {
  std::list<TmcMessage>& messages = State().messages;
  const auto found = std::find_if(messages.begin(), messages.end(),
                                  [&](const TmcMessage& stored) { return stored.SameMessageAs(message); });
  TraceLookup(message, found != messages.end());
  return found == messages.end() ? nullptr : &*found;
}

void CGroup8Decoder::TraceLookup(const TmcMessage& m, bool found) {
  if (!TraceSettings().At(3)) return;
  TraceSettings().sink->Printf("TMC%c: Event: %6d Location %6d %s.\n", m.KindLetter(), m.event, m.location,
                               found ? "already found" : "not found");
}

TmcMessage& CGroup8Decoder::Insert(TmcMessage&& message) {
  std::list<TmcMessage>& messages = State().messages;
  message.index = messages.empty() ? 1 : messages.front().index + 1;
  messages.push_front(std::move(message));
  TmcMessage& m = messages.front();
  if (TraceSettings().At(3)) {
    if (m.kind == TmcMessage::kSingleGroup) {
      TraceSettings().sink->Printf("*** TMCS: Event: %6d Location %6d inserted.\n", m.event, m.location);
    } else {
      TraceSettings().sink->Printf("*** TMCM: Event: %6d Location %6d inserted with CI %d.\n", m.event, m.location,
                                   m.ci);
    }
  }
  return m;
}

uint32_t CGroup8Decoder::DecodeSingleGroup() {
  TmcMessage message = NewMessage(TmcMessage::kSingleGroup);
  if (FindStored(message) != nullptr) return 0;
  LogMessage(Insert(std::move(message)));  // may free the store: nothing of it is used after
  ++State().tmcMessageCount;
  return kChangeTmcCompleted;
}

uint32_t CGroup8Decoder::DecodeFirstGroup() {
  TmcMessage message = NewMessage(TmcMessage::kMultiGroup);
  if (TmcMessage* stored = FindStored(message); stored != nullptr) {
    stored->ci = message.ci;
    RestartAssembly(*stored);
    SetAssembling(stored);
    return 0;
  }
  SetAssembling(&Insert(std::move(message)));
  return kChangeTmcUpdated;
}

// Second group (block C bit 14 set): GSI gives the number of groups that follow, data word 0;
// later groups count the GSI down, each with the next data word.
uint32_t CGroup8Decoder::DecodeFollowingGroup() {
  TmcMessage* m = Assembling();
  if (m == nullptr) return 0;
  const RdsBlocks& g = Blocks();
  const int gsi = (g.c >> 12) & 3;
  if ((g.b & 7) != m->ci) {
    SetAssembling(nullptr);
    return 0;
  }
  size_t index = 0;
  if ((g.c & 0x4000) != 0) {
    m->groupCount = m->remaining = gsi;
    if (TraceSettings().At(3)) TraceSettings().sink->Printf("TMC%c: add first.\n", m->KindLetter());
  } else {
    if (gsi != m->remaining - 1) {
      SetAssembling(nullptr);
      return 0;
    }
    --m->remaining;
    index = static_cast<size_t>(m->groupCount - m->remaining);
    if (TraceSettings().At(3)) {
      TraceSettings().sink->Printf("TMC%c: add no%i.\n", m->KindLetter(), static_cast<int>(index));
    }
  }
  return StoreDataWord(*m, index);
}

// The message completes when its last group is in, whether or not that group changed a word.
uint32_t CGroup8Decoder::StoreDataWord(TmcMessage& m, size_t index) {
  const RdsBlocks& g = Blocks();
  const uint32_t word = static_cast<uint32_t>(g.c & 0x0FFF) << 16 | g.d;
  uint32_t result = 0;
  if (m.dataWords.at(index) != word) {
    m.dataWords.at(index) = word;
    m.time = m.wordTime.at(index) = Context().clock.LocalTime();
    result = kChangeTmcUpdated;
  }
  if (m.remaining == 0) m.complete = 1;
  if (TraceSettings().At(3)) {
    TraceSettings().sink->Printf("*** TMC%c: Event: %6d Location %6d %s.\n", m.KindLetter(), m.event, m.location,
                                 m.complete ? "complete" : "not complete");
  }
  return m.complete ? result | Complete(m) : result;
}

// A message sent again with the content it had at its last completion is neither counted nor
// logged again; new content is.
uint32_t CGroup8Decoder::Complete(TmcMessage& m) {
  SetAssembling(nullptr);
  if (SameContentAsLastCompletion(m)) return 0;
  m.completedGroupCount = m.groupCount;
  m.completedWords = m.dataWords;
  LogMessage(m);  // may free the store: nothing of it is used after
  ++State().tmcMessageCount;
  return kChangeTmcCompleted;
}

void CGroup8Decoder::TraceSystemInformation() {
  const Trace& trace = TraceSettings();
  if (!trace.At(3)) return;
  const RdsBlocks& g = Blocks();
  const int variant = g.b & 0xF;
  switch (variant) {
    case 4:
    case 5: break;
    case 6:
      trace.sink->Printf("TMC System/ Tuning: af(%f,%f) %04x .\n", FrequencyMHz(g.c >> 8), FrequencyMHz(g.c & 0xFF),
                         g.d);
      break;
    case 7:
      trace.sink->Printf("TMC System/ Tuning: %f -> %f %04x .\n", FrequencyMHz(g.c >> 8), FrequencyMHz(g.c & 0xFF),
                         g.d);
      break;
    case 8: trace.sink->Printf("TMC System/ Tuning: %04x %04x .\n", g.c, g.d); break;
    case 9:
      trace.sink->Printf("TMC System/ Tuning: ltn: %i mgs %i sid: %i %04x .\n", g.c >> 10, (g.c >> 6) & 0xF, g.c & 0x3F,
                         g.d);
      break;
    default: trace.sink->Printf("TMC System/ Tuning: %d ???\n", variant); break;
  }
}

TmcMessage* CGroup8Decoder::Assembling() {
  return assemblingGeneration_ == State().storeGeneration ? assembling_ : nullptr;
}

void CGroup8Decoder::SetAssembling(TmcMessage* message) {
  assembling_ = message;
  assemblingGeneration_ = State().storeGeneration;
}

}  // namespace traffic
