#include "warner/traffic/rds/info_decoders.h"

#include "warner/traffic/rds/pty_names.h"

namespace traffic {

namespace {

// Version B of the trace-only types carries nothing the trace shows.
bool TraceVersionB(const Trace& trace, const RdsBlocks& g) {
  if (g.Version() == 0) return false;
  if (trace.At(3)) trace.sink->Printf("...\n");
  return true;
}

// A modified Julian day as day, month and year (conversion of the RDS standard, annex G).
struct Date {
  int day;
  int month;
  int year;
};
Date DateFromJulianDay(int32_t mjd) {
  const int yp = static_cast<int>((mjd - 15078.2) / 365.25);
  const int mp = static_cast<int>((mjd - 14956.1 - static_cast<int>(yp * 365.25)) / 30.6001);
  const int day = mjd - 14956 - static_cast<int>(yp * 365.25) - static_cast<int>(mp * 30.6001);
  const int k = mp == 14 || mp == 15 ? 1 : 0;
  return {day, mp - 1 - k * 12, 1900 + yp + k};
}

}  // namespace

double FrequencyMHz(int code) { return code >= 1 && code <= 204 ? 87.5 + 0.1 * code : 0.0; }

void CGroup1Decoder::Reset() { programItem_ = linkage_ = slowLabel_ = -1; }

uint32_t CGroup1Decoder::Decode(int position, GroupBytes group) {
  if (!IsGroupOfType(group, 1)) return 0;
  uint32_t result = CGroupDecoder::Decode(position, group);
  const RdsBlocks& g = Blocks();
  const Trace& trace = TraceSettings();
  if (g.Version() == 0) {
    const int linkage = g.c >> 15;
    const int slowLabel = g.c & 0x7FFF;
    if (linkage != linkage_) result |= kChangeLinkage;
    if (slowLabel != slowLabel_) result |= kChangeSlowLabel;
    linkage_ = linkage;
    slowLabel_ = slowLabel;
    if (trace.At(3)) trace.sink->Printf("LA: %d, SL(%d) %04x\n", linkage, (g.c >> 12) & 7, g.c & 0xFFF);
  }
  if (g.d != programItem_) result |= kChangeProgramItem;
  programItem_ = g.d;
  if (trace.At(3)) trace.sink->Printf("ProgTime: %d. %d:%02d", g.d >> 11, (g.d >> 6) & 0x1F, g.d & 0x3F);
  return result;
}

void CGroup2Decoder::Reset() {
  for (auto& text : text_) text.fill(0);
}

bool CGroup2Decoder::Put(size_t buffer, size_t at, uint16_t twoCharacters) {
  std::array<char, kTextSize + 1>& text = text_[buffer];
  const char first = static_cast<char>(twoCharacters >> 8);
  const char second = static_cast<char>(twoCharacters & 0xFF);
  const bool changed = text[at] != first || text[at + 1] != second;
  text[at] = first;
  text[at + 1] = second;
  return changed;
}

uint32_t CGroup2Decoder::Decode(int position, GroupBytes group) {
  if (!IsGroupOfType(group, 2)) return 0;
  uint32_t result = CGroupDecoder::Decode(position, group);
  const RdsBlocks& g = Blocks();
  const size_t flag = (g.b >> 4) & 1;
  const size_t segment = g.b & 0xF;
  bool changed;
  if (g.Version() == 0) {
    changed = Put(flag, 4 * segment, g.c);
    changed = Put(flag, 4 * segment + 2, g.d) || changed;
  } else {
    changed = Put(flag, 2 * segment, g.d);
  }
  if (changed) result |= kChangeRadioText;
  if (TraceSettings().At(3)) TraceSettings().sink->Printf("(%d):\"%s\"\n", static_cast<int>(flag), text_[flag].data());
  return result;
}

void CGroup4Decoder::Reset() {
  julianDay_ = hour_ = minute_ = -1;
  offset_ = 0;
}

uint32_t CGroup4Decoder::Decode(int position, GroupBytes group) {
  if (!IsGroupOfType(group, 4)) return 0;
  uint32_t result = CGroupDecoder::Decode(position, group);
  const RdsBlocks& g = Blocks();
  if (TraceVersionB(TraceSettings(), g)) return result;
  const int32_t julianDay = (g.b & 3) << 15 | g.c >> 1;
  const int hour = (g.c & 1) << 4 | g.d >> 12;
  const int minute = (g.d >> 6) & 0x3F;
  const int offset = (g.d & 0x20) != 0 ? -(g.d & 0x1F) : (g.d & 0x1F);
  if (julianDay != julianDay_ || hour != hour_ || minute != minute_ || offset != offset_) result |= kChangeClockTime;
  julianDay_ = julianDay;
  hour_ = hour;
  minute_ = minute;
  offset_ = offset;
  if (TraceSettings().At(3)) TraceTime();
  return result;
}

// UTC with the local offset in whole hours.
void CGroup4Decoder::TraceTime() const {
  const Date date = DateFromJulianDay(julianDay_);
  TraceSettings().sink->Printf("TIME: %d:%02d GMT%+d %d.%d.%d\n", hour_, minute_, offset_ / 2, date.day, date.month,
                               date.year);
}

void CGroup10Decoder::Reset() { name_.fill(0); }

uint32_t CGroup10Decoder::Decode(int position, GroupBytes group) {
  if (!IsGroupOfType(group, 10)) return 0;
  uint32_t result = CGroupDecoder::Decode(position, group);
  const RdsBlocks& g = Blocks();
  if (TraceVersionB(TraceSettings(), g)) return result;
  const int half = g.b & 1;
  const char characters[4] = {static_cast<char>(g.c >> 8), static_cast<char>(g.c & 0xFF), static_cast<char>(g.d >> 8),
                              static_cast<char>(g.d & 0xFF)};
  for (size_t i = 0; i < 4; ++i) {
    char& at = name_[4 * static_cast<size_t>(half) + i];
    if (at != characters[i]) result |= kChangePty;
    at = characters[i];
  }
  // The half and the text A/B flag.
  if (TraceSettings().At(3)) TraceSettings().sink->Printf("DynPTY(%d): %d\n", half, (g.b >> 4) & 1);
  return result;
}

void CGroup14Decoder::Reset() {
  networks_.fill(OtherNetwork{});
  nextNetwork_ = 0;
}

CGroup14Decoder::OtherNetwork& CGroup14Decoder::Network(uint16_t pi) {
  for (OtherNetwork& network : networks_) {
    if (network.pi == pi) return network;
  }
  OtherNetwork& taken = networks_[nextNetwork_];
  nextNetwork_ = (nextNetwork_ + 1) % kNetworks;
  taken = OtherNetwork{pi, {}};
  return taken;
}

uint32_t CGroup14Decoder::Decode(int position, GroupBytes group) {
  if (!IsGroupOfType(group, 14)) return 0;
  const uint32_t result = CGroupDecoder::Decode(position, group);
  const RdsBlocks& g = Blocks();
  const Trace& trace = TraceSettings();
  const int variant = g.b & 0xF;
  if (g.Version() == 1) {
    if (trace.At(3)) trace.sink->Printf("EON ProgIDCode: %04x, ...\n", g.d);
    return result;
  }
  if (variant <= 3) {
    OtherNetwork& network = Network(g.d);
    network.name[2 * static_cast<size_t>(variant)] = static_cast<char>(g.c >> 8);
    network.name[2 * static_cast<size_t>(variant) + 1] = static_cast<char>(g.c & 0xFF);
    if (trace.At(3)) trace.sink->Printf("EON ProgIDCode: %04x, EON Station: %s\n", g.d, network.name.data());
  } else if (!trace.At(3)) {
    return result;
  } else if (variant >= 5 && variant <= 9) {
    trace.sink->Printf("EON ProgIDCode: %04x, %3.1fHz -> %3.1fHz\n", g.d, FrequencyMHz(g.c >> 8),
                       FrequencyMHz(g.c & 0xFF));
  } else if (variant == 13) {
    trace.sink->Printf("EON ProgIDCode: %04x, Program Type \"%s\"\n", g.d, PtyName(g.c >> 11));
  } else if (variant > 13) {
    trace.sink->Printf("EON ProgIDCode: %04x, Index %d ?\n", g.d, variant);
  } else {
    trace.sink->Printf("EON ProgIDCode: %04x, ...\n", g.d);
  }
  return result;
}

}  // namespace traffic
