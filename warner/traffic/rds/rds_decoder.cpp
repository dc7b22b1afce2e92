#include "warner/traffic/rds/rds_decoder.h"

#include <algorithm>
#include <cstring>

#include "platform/text/text.h"

namespace traffic {

namespace {

constexpr uint32_t kNoPi = 0xFFFFFFFF;
constexpr int kDecodedTypeTraceLevel = 2;

}  // namespace

std::string StationNameFromPs(const std::array<char, kPsLength + 1>& ps) {
  const std::string utf8 = platform::Cp1252ToUtf8({ps.data(), strnlen(ps.data(), kPsLength)});
  constexpr size_t kMaxCharacters = 20;
  size_t characters = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const bool starts = (static_cast<uint8_t>(utf8[i]) & 0xC0) != 0x80;
    if (starts && ++characters > kMaxCharacters) return utf8.substr(0, i);
  }
  return utf8;
}

CRDSDecoder::CRDSDecoder(CodeLists& codeLists, platform::Reporter& reporter, const platform::Clock& clock)
    : context_{state_, reporter, clock, codeLists},
      plain_(context_),
      group0_(context_),
      group1_(context_),
      group2_(context_),
      group3_(context_),
      group4_(context_),
      group8_(context_),
      group10_(context_),
      group14_(context_) {
  Reset();
}

void CRDSDecoder::Reset() {
  if (trace_.At(3)) trace_.sink->Printf("CRDSDecoder Reset\n");
  trace_ = {};
  traceLevels_.fill(0);
  piHistory_.fill(kNoPi);
  piNext_ = 0;
  table_.fill(&plain_);
  table_[0] = &group0_;
  table_[1] = &group1_;
  table_[2] = &group2_;
  table_[3] = &group3_;
  table_[4] = &group4_;
  table_[8] = &group8_;
  table_[10] = &group10_;
  table_[14] = &group14_;
  HandTraceToDecoders();
  // Every decoder starts over, so that the store, the count and the station agree again.
  plain_.Reset();
  for (CGroupDecoder* decoder : table_) {
    if (decoder != &plain_) decoder->Reset();
  }
  status_.Clear();
  SetLogName(kDefaultLogName);
}

void CRDSDecoder::SetTrace(TraceSink* sink, int level) {
  trace_ = {sink, level};
  for (size_t type = 0; type < kGroupTypes; ++type) {
    traceLevels_[type] = level != 0 && table_[type] != &plain_ ? kDecodedTypeTraceLevel : 0;
  }
  HandTraceToDecoders();
}

void CRDSDecoder::SetGroupTraceLevel(int groupType, int level) {
  if (groupType < 0 || groupType >= static_cast<int>(kGroupTypes)) return;
  traceLevels_[static_cast<size_t>(groupType)] = level;
  HandTraceToDecoders();
}

// The plain decoder serves several types and takes the decoder's own level.
void CRDSDecoder::HandTraceToDecoders() {
  plain_.SetTrace(trace_.sink, trace_.level);
  for (size_t type = 0; type < kGroupTypes; ++type) {
    if (table_[type] != &plain_) table_[type]->SetTrace(trace_.sink, traceLevels_[type]);
  }
}

bool CRDSDecoder::SetLogName(std::string_view path) {
  const bool fits = path.size() <= kLogPathMax;
  state_.logPath = fits ? std::string(path) : std::string();
  return fits;
}

uint32_t CRDSDecoder::DecodeGroup(int position, GroupBytes group) {
  const uint32_t pi = static_cast<uint32_t>(group[0] << 8 | group[1]);
  // A station counts from the fourth group in a row with its PI; a corrupted PI costs three.
  if (std::any_of(piHistory_.begin(), piHistory_.end(), [pi](uint32_t stored) { return stored != pi; })) {
    piHistory_[piNext_] = pi;
    piNext_ = (piNext_ + 1) % kPiHistory;
    return 0;
  }
  const uint32_t result = DecoderOf(group[2] >> 4).DecodeGroupSafely(position, group);
  if ((result & kChangeTmcCompleted) != 0) status_.SetMessageCount(state_.tmcMessageCount);
  if ((result & kChangeStationName) != 0) status_.SetStationName(StationNameFromPs(state_.ps));
  return result;
}

void CRDSDecoder::GroupInput(const uint8_t* bytes, size_t count, int channel) {
  if (bytes == nullptr || count < kGroupSize) return;
  DecodeGroup(channel, GroupBytes(bytes, kGroupSize));
}

CGroupDecoder& CRDSDecoder::DecoderOf(int groupType) { return *table_[static_cast<size_t>(groupType & 0xF)]; }

}  // namespace traffic
