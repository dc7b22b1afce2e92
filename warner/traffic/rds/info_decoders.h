#pragma once
// Decoders of what the warner only traces: programme item, radiotext, clock time, programme type
// name and other networks. Their values live in the decoders.

#include <array>
#include <cstdint>

#include "warner/traffic/rds/group_decoder.h"

namespace traffic {

// Groups 1A and 1B: programme item number; 1A also linkage actuator and slow labelling code.
class CGroup1Decoder final : public CGroupDecoder {
 public:
  explicit CGroup1Decoder(DecoderContext& context) : CGroupDecoder(context) {}
  void Reset() override;
  uint32_t Decode(int position, GroupBytes group) override;

 private:
  int32_t programItem_ = -1;
  int32_t linkage_ = -1;
  int32_t slowLabel_ = -1;
};

// Groups 2A and 2B: radiotext, one 64-character buffer per text A/B flag.
class CGroup2Decoder final : public CGroupDecoder {
 public:
  static constexpr size_t kTextSize = 64;

  explicit CGroup2Decoder(DecoderContext& context) : CGroupDecoder(context) {}
  void Reset() override;
  uint32_t Decode(int position, GroupBytes group) override;

 private:
  bool Put(size_t buffer, size_t at, uint16_t twoCharacters);

  std::array<std::array<char, kTextSize + 1>, 2> text_{};
};

// Group 4A: clock time and date.
class CGroup4Decoder final : public CGroupDecoder {
 public:
  explicit CGroup4Decoder(DecoderContext& context) : CGroupDecoder(context) {}
  void Reset() override;
  uint32_t Decode(int position, GroupBytes group) override;

 private:
  void TraceTime() const;

  int32_t julianDay_ = -1;
  int hour_ = -1;
  int minute_ = -1;
  int offset_ = 0;  // local offset in half hours
};

// Group 10A: programme type name, two halves of four characters.
class CGroup10Decoder final : public CGroupDecoder {
 public:
  explicit CGroup10Decoder(DecoderContext& context) : CGroupDecoder(context) {}
  void Reset() override;
  uint32_t Decode(int position, GroupBytes group) override;

 private:
  std::array<char, 9> name_{};
};

// Group 14A: enhanced other networks; names are collected for a few other stations at once.
class CGroup14Decoder final : public CGroupDecoder {
 public:
  static constexpr size_t kNetworks = 8;

  explicit CGroup14Decoder(DecoderContext& context) : CGroupDecoder(context) {}
  void Reset() override;
  uint32_t Decode(int position, GroupBytes group) override;

 private:
  struct OtherNetwork {
    int32_t pi = -1;
    std::array<char, kPsLength + 1> name{};
  };
  OtherNetwork& Network(uint16_t pi);

  std::array<OtherNetwork, kNetworks> networks_{};
  size_t nextNetwork_ = 0;
};

// An alternative frequency code 1..204 in MHz (87.6 .. 107.9); 0 for every other code.
double FrequencyMHz(int code);

}  // namespace traffic
