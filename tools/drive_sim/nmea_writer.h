#pragma once
// Writes drive samples as a receiver would send them: GGA, RMC and VTG once a second, with
// optional position noise and dropped seconds.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/drive_sim/motion.h"

namespace drive_sim {

enum SentenceBits : unsigned {
  kSendGga = 1,
  kSendRmc = 2,
  kSendVtg = 4,
  kSendAll = kSendGga | kSendRmc | kSendVtg,
};

inline constexpr int kMinPrecision = 3;
inline constexpr int kMaxPrecision = 7;

struct NmeaOptions {
  unsigned sentences = kSendAll;
  int precision = 4;         // decimals of the minutes
  double noiseMetres = 0.0;  // standard deviation north and east
  uint64_t seed = 1;
  int dropoutEvery = 0;  // drop the last second of every N; 0 never
};

// "gga,rmc,vtg" in any order and case; false on an unknown name or an empty list.
bool ParseSentenceList(std::string_view text, unsigned& sentences);

// One sentence each, "$..*hh\r\n". A sample without a fix gives the empty fields of a receiver
// that is still searching.
std::string FormatGga(const DriveSample& s, int precision);
std::string FormatRmc(const DriveSample& s, int precision);
std::string FormatVtg(const DriveSample& s);

// The two hex digits of the exclusive OR of everything between '$' and '*'.
std::string Checksum(std::string_view body);

// The whole log; silent samples and dropped seconds give no sentences.
std::string WriteNmeaLog(const std::vector<DriveSample>& samples, const NmeaOptions& options);

}  // namespace drive_sim
