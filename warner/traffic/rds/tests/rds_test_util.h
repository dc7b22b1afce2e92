#pragma once
// Groups, scratch folders and a decoder wired with a scripted reporter and a standing clock.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/temp_folder.h"
#include "warner/traffic/code_lists/code_lists.h"
#include "warner/traffic/rds/rds_decoder.h"

namespace traffic::testing {

using Group = std::array<uint8_t, kGroupSize>;

inline constexpr uint16_t kPi = 0xD301;

inline Group G(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
  return {static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a), static_cast<uint8_t>(b >> 8), static_cast<uint8_t>(b),
          static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c), static_cast<uint8_t>(d >> 8), static_cast<uint8_t>(d)};
}

// Group 0A (TP and music set) with two name characters of `segment`.
inline Group Ps(int segment, const char* twoCharacters, uint16_t pi = kPi) {
  return G(pi, static_cast<uint16_t>(0x0408 | segment), 0xE0CD,
           static_cast<uint16_t>(static_cast<uint8_t>(twoCharacters[0]) << 8 | static_cast<uint8_t>(twoCharacters[1])));
}
// Group 3A announcing TMC (or `aid`) with variant 0 and the LTN.
inline Group Announce(int ltn = 1, uint16_t aid = 0xCD46) {
  return G(kPi, 0x3410, static_cast<uint16_t>(ltn << 6), aid);
}
// Group 8A, single-group message.
inline Group Single(int event, int location, int extent = 0, int direction = 0, int duration = 0, int diversion = 0) {
  return G(kPi, static_cast<uint16_t>(0x8408 | duration),
           static_cast<uint16_t>(diversion << 15 | direction << 14 | extent << 11 | event),
           static_cast<uint16_t>(location));
}
// Group 8A, first group of a multi-group message.
inline Group First(int ci, int event, int location, int extent = 0, int direction = 0) {
  return G(kPi, static_cast<uint16_t>(0x8400 | ci),
           static_cast<uint16_t>(0x8000 | direction << 14 | extent << 11 | event), static_cast<uint16_t>(location));
}
// Group 8A, second (`second`) or later group of a multi-group message with a 28-bit data word.
inline Group Next(int ci, bool second, int gsi, uint32_t word) {
  return G(kPi, static_cast<uint16_t>(0x8400 | ci),
           static_cast<uint16_t>((second ? 0x4000 : 0) | gsi << 12 | ((word >> 16) & 0xFFF)),
           static_cast<uint16_t>(word & 0xFFFF));
}

using platform::testing::ReadFile;
using platform::testing::TempFolder;

inline platform::SystemTime TestTime() { return {2024, 3, 2, 5, 14, 7, 9, 0}; }

// A decoder as the worker drives it, without code lists and without a log until a test sets them.
struct DecoderHarness {
  DecoderHarness() : codeLists(reporter), decoder(codeLists, reporter, clock) {
    clock.SetUtcTime(TestTime());
    decoder.SetLogName("");
  }

  void OpenSampleLists() {
    codeLists.OpenEventCodeList(std::string(DW_TRAFFIC_DATA_DIR) + "/" + kEventListName);
    codeLists.OpenLocationCodeList(std::string(DW_TRAFFIC_DATA_DIR) + "/" + kLocationListName);
  }
  uint32_t Feed(const Group& group) { return decoder.DecodeGroup(-1, group); }
  uint32_t Twice(const Group& group) { return Feed(group) | Feed(group); }
  // Three groups of `pi` that only confirm it (group 1A, which changes nothing else).
  void ConfirmPi(uint16_t pi = kPi) {
    for (int i = 0; i < 3; ++i) Feed(G(pi, 0x1000, 0, 0));
  }
  // PI confirmed, station name complete, TMC announced, the traffic decoder past its PI change
  // (with a tuning group that the repeat filter lets pass only once).
  void TuneIn(const char* name = "RADIO 7 ") {
    ConfirmPi();
    for (int segment = 0; segment < 4; ++segment) Feed(Ps(segment, name + 2 * segment));
    Feed(Announce());
    Feed(G(kPi, 0x8418, 0, 0));
  }
  // A multi-group message: the first group, then one group per data word, each sent twice.
  uint32_t SendMulti(int ci, int event, int location, const std::vector<uint32_t>& words, int extent = 0,
                     int direction = 0) {
    uint32_t result = Twice(First(ci, event, location, extent, direction));
    const int gsi = static_cast<int>(words.size()) - 1;
    for (size_t i = 0; i < words.size(); ++i)
      result |= Twice(Next(ci, i == 0, gsi - (i == 0 ? 0 : static_cast<int>(i)), words[i]));
    return result;
  }
  const std::list<TmcMessage>& Messages() const { return decoder.State().messages; }

  platform::ScriptedReporter reporter;
  CodeLists codeLists;
  platform::ManualClock clock;
  CRDSDecoder decoder;
};

// A tuned-in decoder with the sample code lists, logging into a temp folder.
class LoggingDecoderTest : public ::testing::Test {
 protected:
  LoggingDecoderTest() {
    h.OpenSampleLists();
    h.decoder.SetLogName(log);
    h.TuneIn();
  }

  TempFolder folder;
  const std::string log = folder.File("SntTMC.txt");
  DecoderHarness h;
};

}  // namespace traffic::testing
