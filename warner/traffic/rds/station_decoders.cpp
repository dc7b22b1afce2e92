#include "warner/traffic/rds/station_decoders.h"

#include <algorithm>

#include "warner/traffic/rds/pty_names.h"

namespace traffic {

namespace {

// Trace texts show control bytes of the station name as dots.
char Printable(char c) { return static_cast<uint8_t>(c) < 0x20 || c == 0x7F ? '.' : c; }

}  // namespace

void CGroup0Decoder::Reset() {
  if (TraceSettings().At(3)) TraceSettings().sink->Printf("CGroup0Decoder Reset\n");
  name_.fill(0);
  nameComplete_ = false;
  expectedSegment_ = 0;
  segmentMask_ = 0;
  musicSpeech_ = -1;
  decoderInformation_ = 0;
  State().ta = 0;
}

uint32_t CGroup0Decoder::Decode(int position, GroupBytes group) {
  if (!IsGroupOfType(group, 0)) return 0;
  uint32_t result = CGroupDecoder::Decode(position, group);
  const RdsBlocks& g = Blocks();
  const int segment = g.b & 3;
  if (segment != expectedSegment_) segmentMask_ = 0;
  expectedSegment_ = (segment + 1) % 4;
  segmentMask_ |= 1 << segment;
  const uint32_t flags = TakeSegment(segment);
  if (flags != 0 && TraceSettings().At(3)) TraceSegment(segment);
  result |= flags & kChangeTrafficFlags;
  const uint32_t name = TakeStationName();
  if (name != 0 && TraceSettings().At(3)) TraceStation();
  return result | name;
}

// TA, music/speech, the decoder information bit and two characters of the name; kChangeTrafficFlags
// for a changed flag, kChangeStationName for changed characters.
uint32_t CGroup0Decoder::TakeSegment(int segment) {
  const RdsBlocks& g = Blocks();
  uint32_t result = 0;
  const int ta = (g.b >> 4) & 1;
  const int musicSpeech = (g.b >> 3) & 1;
  if (ta != State().ta || musicSpeech != musicSpeech_) result |= kChangeTrafficFlags;
  State().ta = ta;
  musicSpeech_ = musicSpeech;
  const int diBit = 1 << (3 - segment);
  decoderInformation_ = (g.b & 4) != 0 ? decoderInformation_ | diBit : decoderInformation_ & ~diBit;
  const char first = static_cast<char>(g.d >> 8);
  const char second = static_cast<char>(g.d & 0xFF);
  const size_t at = 2 * static_cast<size_t>(segment);
  if (name_[at] != first || name_[at + 1] != second) result |= kChangeStationName;
  name_[at] = first;
  name_[at + 1] = second;
  return result;
}

// The name counts from the first time all eight characters are in; after that every difference
// from PS is taken over.
uint32_t CGroup0Decoder::TakeStationName() {
  std::array<char, kPsLength + 1>& ps = State().ps;
  if (!nameComplete_) {
    if (std::find(name_.begin(), name_.end(), '\0') != name_.end()) return 0;
    nameComplete_ = true;
    if (TraceSettings().level == 2 && TraceSettings().sink != nullptr) TraceStation();
  } else if (std::equal(name_.begin(), name_.end(), ps.begin())) {
    return 0;
  }
  std::copy(name_.begin(), name_.end(), ps.begin());
  ps[kPsLength] = 0;
  return kChangeStationName;
}

void CGroup0Decoder::TraceSegment(int segment) {
  const RdsBlocks& g = Blocks();
  TraceSettings().sink->Printf("%c%c, Stat %4X, TA %4X, MS %4X, SNMask %4X, DI %4X\n",
                               Printable(static_cast<char>(g.d >> 8)), Printable(static_cast<char>(g.d & 0xFF)),
                               segment, State().ta, musicSpeech_, segmentMask_, decoderInformation_);
}

void CGroup0Decoder::TraceStation() {
  std::array<char, kPsLength + 1> name{};
  std::transform(name_.begin(), name_.end(), name.begin(), Printable);
  TraceSettings().sink->Printf("\"%s\", Program Type: %s: %s, TrafficInfo: %d\n", name.data(), PtyName(Pty()),
                               musicSpeech_ == 1 ? "Music" : "Speech", Tp());
}

uint32_t CGroup3Decoder::Decode(int position, GroupBytes group) {
  if (!IsGroupOfType(group, 3)) return 0;
  const uint32_t result = CGroupDecoder::Decode(position, group);
  const RdsBlocks& g = Blocks();
  const Trace& trace = TraceSettings();
  if (g.Version() == 1) {
    if (trace.At(3)) trace.sink->Printf("...\n");
    return result;
  }
  RdsState& state = State();
  uint32_t changes = g.d != state.aid ? kChangeOdaData : 0;
  // Stored whatever the application: another one after a TMC announcement stops traffic decoding.
  state.aid = g.d;
  if (IsTmcAid(g.d)) {
    changes |= TakeTmcAnnouncement();
  } else if (trace.At(3)) {
    trace.sink->Printf("ODA: G3Type: %2d, MSG: 0x%04X, AppID: %04X\n", g.b & 0x1F, g.c, g.d);
  }
  return result | changes;
}

// Block C variant 0: location table number; variant 1: service identifier (6 bits each, bits 11-6).
uint32_t CGroup3Decoder::TakeTmcAnnouncement() {
  const RdsBlocks& g = Blocks();
  const Trace& trace = TraceSettings();
  RdsState& state = State();
  const int variant = g.c >> 14;
  const int value = (g.c >> 6) & 0x3F;
  const int groupTypeCode = g.b & 0x1F;
  uint32_t changes = 0;
  if (variant == 0) {
    if (value != state.ltn) changes = kChangeOdaData;
    state.ltn = value;
    if (trace.At(3)) {
      trace.sink->Printf(
          "ODA: G3Type: %2d, V %d, CountryCode %X, LocationCodeTableNumber: %d, MSG: 0x%04X, AppID: %04X\n",
          groupTypeCode, variant, state.countryCode, value, g.c, g.d);
    }
  } else if (variant == 1) {
    state.sid = value;
    if (trace.At(3)) {
      trace.sink->Printf("ODA: G3Type: %2d, V %d, SID: %d, MSG: 0x%04X, AppID: %04X\n", groupTypeCode, variant, value,
                         g.c, g.d);
    }
  } else if (trace.At(3)) {
    trace.sink->Printf("ODA: G3Type: %2d, V %d???, MSG 0x%04X\n", groupTypeCode, variant, g.c);
  }
  return changes;
}

}  // namespace traffic
