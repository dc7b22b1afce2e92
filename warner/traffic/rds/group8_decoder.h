#pragma once
// Group 8A: traffic messages (ALERT-C). Filters repeated groups, assembles single- and
// multi-group messages into the store of RdsState and logs every completed message.

#include <array>
#include <cstdint>

#include "warner/traffic/rds/group_decoder.h"

namespace traffic {

class CGroup8Decoder final : public CGroupDecoder {
 public:
  explicit CGroup8Decoder(DecoderContext& context) : CGroupDecoder(context) {}

  // Forgets the repeat filter and the message being assembled.
  void Reset() override;
  // kChangeTmcUpdated for a message added or changed, kChangeTmcCompleted for one completed.
  uint32_t Decode(int position, GroupBytes group) override;

 private:
  bool PassesRepeatFilter(GroupBytes group);
  TmcMessage NewMessage(uint8_t kind);
  TmcMessage* FindStored(const TmcMessage& message);
  TmcMessage& Insert(TmcMessage&& message);
  void TraceLookup(const TmcMessage& message, bool found);

  uint32_t DecodeSingleGroup();
  uint32_t DecodeFirstGroup();
  uint32_t DecodeFollowingGroup();
  uint32_t StoreDataWord(TmcMessage& message, size_t index);
  uint32_t Complete(TmcMessage& message);
  void TraceSystemInformation();

  TmcMessage* Assembling();
  void SetAssembling(TmcMessage* message);

  std::array<std::array<uint8_t, kGroupSize>, 2> slots_{};
  size_t toggle_ = 0;
  // The message being assembled; only valid while the store has not been freed since.
  TmcMessage* assembling_ = nullptr;
  uint32_t assemblingGeneration_ = 0;
};

}  // namespace traffic
