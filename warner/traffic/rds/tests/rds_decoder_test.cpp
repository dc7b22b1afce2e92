#include "warner/traffic/rds/rds_decoder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "warner/traffic/rds/tests/rds_test_util.h"

namespace traffic {
namespace {

using namespace traffic::testing;
using ::testing::IsEmpty;

TEST(PiConfirmation, AStationCountsFromItsFourthGroup) {
  DecoderHarness h;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(h.Feed(Ps(0, "RA")), 0u) << i;
  EXPECT_EQ(h.Feed(Ps(0, "RA")), kChangePi);
  EXPECT_EQ(h.decoder.State().countryCode, 0xD);

  // One corrupted PI costs the three groups after it as well.
  EXPECT_EQ(h.Feed(Ps(1, "DI", 0xD311)), 0u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(h.Feed(Ps(1, "DI")), 0u) << i;
  EXPECT_EQ(h.Feed(G(kPi, 0x041A, 0xE0CD, 0x4F20)), kChangeTrafficFlags);  // TA on
}

TEST(StationName, CompletesOnceAllEightCharactersAreIn) {
  DecoderHarness h;
  h.ConfirmPi();
  EXPECT_EQ(h.Feed(Ps(0, "RA")) & kChangeStationName, kChangeStationName);  // with the PI change
  EXPECT_EQ(h.Feed(Ps(1, "DI")), 0u);
  EXPECT_EQ(h.Feed(Ps(2, "O ")), 0u);
  EXPECT_EQ(h.decoder.Status().Snapshot().stationName, "");
  // A blank is a character like any other: the name is complete.
  EXPECT_EQ(h.Feed(Ps(3, "7 ")), kChangeStationName);
  EXPECT_EQ(h.decoder.Status().Snapshot().stationName, "RADIO 7 ");
  for (int segment = 0; segment < 4; ++segment) EXPECT_EQ(h.Feed(Ps(segment, &"RADIO 7 "[2 * segment])), 0u);

  EXPECT_EQ(h.Feed(Ps(3, "8 ")), kChangeStationName);
  EXPECT_EQ(h.decoder.Status().Snapshot().stationName, "RADIO 8 ");
  // The name arrives in Windows-1252 and is shown as UTF-8.
  EXPECT_EQ(h.Feed(Ps(2, "\xC4 ")), kChangeStationName);
  EXPECT_EQ(h.decoder.Status().Snapshot().stationName, "RADI\xC3\x84 8 ");
}

TEST(StationName, OutOfOrderSegmentsStillFillTheName) {
  DecoderHarness h;
  h.ConfirmPi();
  EXPECT_EQ(h.Feed(Ps(2, "EF")), kChangePi);
  EXPECT_EQ(h.Feed(Ps(0, "AB")), 0u);
  EXPECT_EQ(h.Feed(Ps(3, "GH")), 0u);
  EXPECT_EQ(h.Feed(Ps(1, "CD")), kChangeStationName);
  EXPECT_EQ(h.decoder.Status().Snapshot().stationName, "ABCDEFGH");
}

TEST(TrafficFlags, TaAndMusicSpeechChangesAreReported) {
  DecoderHarness h;
  h.ConfirmPi();
  h.Feed(Ps(0, "RA"));
  EXPECT_EQ(h.Feed(G(kPi, 0x0419, 0xE0CD, 0x4449)), kChangeTrafficFlags);  // TA on
  EXPECT_EQ(h.decoder.State().ta, 1);
  EXPECT_EQ(h.Feed(G(kPi, 0x0412, 0xE0CD, 0x4F20)), kChangeTrafficFlags);  // speech
  EXPECT_EQ(h.Feed(G(kPi, 0x0413, 0xE0CD, 0x3720)), kChangeStationName);   // no flag changed
  EXPECT_EQ(h.Feed(G(kPi, 0x0013, 0xE0CD, 0x3720)), kChangeTrafficFlags);  // TP off
  EXPECT_EQ(h.Feed(G(kPi, 0x0033, 0xE0CD, 0x3720)), kChangePty);
}

TEST(TmcAnnouncement, LocationTableAndServiceIdentifier) {
  DecoderHarness h;
  h.ConfirmPi();
  EXPECT_EQ(h.Feed(Announce(12)), kChangePi);
  EXPECT_EQ(h.decoder.State().aid, 0xCD46u);
  EXPECT_EQ(h.decoder.State().ltn, 12);
  EXPECT_EQ(h.Feed(Announce(12)), 0u);
  EXPECT_EQ(h.Feed(Announce(13)), kChangeOdaData);
  EXPECT_EQ(h.Feed(G(kPi, 0x3410, 0x4000 | 33 << 6, 0xCD46)), 0u);  // variant 1: SID
  EXPECT_EQ(h.decoder.State().sid, 33);
  EXPECT_EQ(h.decoder.State().ltn, 13);
  EXPECT_EQ(h.Feed(G(kPi, 0x3410, 0x8000 | 5 << 6, 0xCD46)), 0u);  // variant 2: nothing taken
  EXPECT_EQ(h.decoder.State().ltn, 13);
  EXPECT_EQ(h.Feed(Announce(13, 0x0802)), kChangeOdaData);
  EXPECT_EQ(h.Feed(Announce(14, 0x0802)), kChangeOdaData);
  EXPECT_EQ(h.decoder.State().ltn, 14);
}

TEST(TmcAnnouncement, AnotherApplicationStopsTrafficDecodingUntilTheNextTmcAnnouncement) {
  DecoderHarness h;
  h.TuneIn();
  EXPECT_EQ(h.Twice(Single(101, 12003)), kChangeTmcCompleted);
  EXPECT_EQ(h.Feed(Announce(1, 0x4BD7)), kChangeOdaData);
  EXPECT_EQ(h.Twice(Single(102, 12003)), 0u);
  EXPECT_EQ(h.Messages().size(), 1u);
  EXPECT_EQ(h.Feed(Announce(1)), kChangeOdaData);
  EXPECT_EQ(h.Twice(Single(102, 12003)), kChangeTmcCompleted);
  EXPECT_EQ(h.decoder.Status().Snapshot().messageCount, 2);
}

TEST(PlainDecoder, ATypeWithoutDecoderOnlyReportsCommonBitsButItsFirstGroupClearsTheStation) {
  DecoderHarness h;
  h.TuneIn();
  h.Twice(Single(101, 12003));
  ASSERT_EQ(h.Messages().size(), 1u);
  // The plain decoder has not seen this PI yet: its reset clears the whole station state.
  EXPECT_EQ(h.Feed(G(kPi, 0x5408, 0x1234, 0x5678)), kChangePi);
  EXPECT_EQ(h.decoder.State().aid, 0u);
  EXPECT_EQ(h.decoder.State().ps[0], 0);
  EXPECT_EQ(h.decoder.State().tmcMessageCount, 0);
  EXPECT_THAT(h.Messages(), IsEmpty());
  EXPECT_EQ(h.decoder.Status().Snapshot(), (TmcStatus{"", 0}));
  EXPECT_EQ(h.Feed(G(kPi, 0x5408, 0x1234, 0x5678)), 0u);
  EXPECT_EQ(h.Feed(G(kPi, 0x7428, 0x1234, 0x5678)), kChangePty);
  // Traffic messages wait for the next announcement.
  EXPECT_EQ(h.Twice(Single(101, 12003)), 0u);
}

// A decoder that fails on demand, as a fault inside a real decoder would.
class FaultyDecoder final : public CGroupDecoder {
 public:
  using CGroupDecoder::CGroupDecoder;
  void Reset() override { ++resets; }
  uint32_t Decode(int position, GroupBytes group) override {
    CGroupDecoder::Decode(position, group);
    if (group[7] == 1) throw std::out_of_range("index");
    if (group[7] == 2) throw std::bad_alloc();
    if (group[7] == 3) throw 42;
    return 0x0100;
  }
  int resets = 0;
};

TEST(Faults, EachDecoderReportsItsFirstFaultAndStartsOver) {
  RdsState state;
  platform::ScriptedReporter reporter;
  platform::ManualClock clock;
  CodeLists lists(reporter);
  DecoderContext context{state, reporter, clock, lists};
  FaultyDecoder decoder(context);
  StringTraceSink trace;
  decoder.SetTrace(&trace, 3);
  const Group good = G(kPi, 0x6400, 0, 0);
  EXPECT_EQ(decoder.DecodeGroupSafely(-1, good), 0x0100u);
  const int resetsBefore = decoder.resets;

  EXPECT_EQ(decoder.DecodeGroupSafely(0x12, G(kPi, 0x6400, 0, 1)), kChangeFault);
  EXPECT_EQ(decoder.resets, resetsBefore + 1);
  EXPECT_EQ(decoder.FirstFaultCode(), kFaultOutOfBounds);
  EXPECT_EQ(decoder.DecodeGroupSafely(-1, G(kPi, 0x6400, 0, 2)), kChangeFault);
  EXPECT_EQ(decoder.DecodeGroupSafely(-1, G(kPi, 0x6400, 0, 3)), kChangeFault);
  EXPECT_EQ(decoder.DecodeGroupSafely(-1, good), 0x0100u);
  EXPECT_EQ(decoder.FirstFaultCode(), kFaultOutOfBounds);

  const auto records = reporter.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, "Exception in decoding RDS Group 6, Reason C000008C");
  EXPECT_EQ(trace.Text(),
            "D301 6400 0000 0000: RDS_06_A \n"
            "000012: D301 6400 0000 0001: RDS_06_A \n"
            "### Exception Code No 0xC000008C ###\n"
            "D301 6400 0000 0002: RDS_06_A \n"
            "### Exception Code No 0xC0000017 ###\n"
            "D301 6400 0000 0003: RDS_06_A \n"
            "### Exception Code No 0xE0000001 ###\n"
            "D301 6400 0000 0000: RDS_06_A \n");
}

TEST(Trace, GroupLinesAtLevelThree) {
  DecoderHarness h;
  StringTraceSink trace;
  h.decoder.SetTrace(&trace, 3);
  for (const int type : {0, 3, 8}) h.decoder.SetGroupTraceLevel(type, 3);
  h.ConfirmPi();
  EXPECT_EQ(trace.Text(), "");
  h.decoder.DecodeGroup(0x1A2B, Ps(0, "RA"));
  for (int segment = 1; segment < 4; ++segment) h.Feed(Ps(segment, &"RADIO 7 "[2 * segment]));
  h.Feed(Ps(3, "7 "));
  h.Feed(Announce(12));
  h.Feed(Announce(1, 0x4BD7));
  h.Feed(G(kPi, 0x5408, 0x1234, 0x5678));
  EXPECT_EQ(trace.Text(),
            "CGroup0Decoder Reset\n"
            "001a2b: D301 0408 E0CD 5241: RDS_00_A RA, Stat    0, TA    0, MS    1, SNMask    1, DI    0\n"
            "D301 0409 E0CD 4449: RDS_00_A DI, Stat    1, TA    0, MS    1, SNMask    3, DI    0\n"
            "D301 040A E0CD 4F20: RDS_00_A O , Stat    2, TA    0, MS    1, SNMask    7, DI    0\n"
            "D301 040B E0CD 3720: RDS_00_A 7 , Stat    3, TA    0, MS    1, SNMask    F, DI    0\n"
            "\"RADIO 7 \", Program Type: None: Music, TrafficInfo: 1\n"
            "D301 040B E0CD 3720: RDS_00_A \n"
            "D301 3410 0300 CD46: RDS_03_A ODA: G3Type: 16, V 0, CountryCode D, LocationCodeTableNumber: 12, "
            "MSG: 0x0300, AppID: CD46\n"
            "D301 3410 0040 4BD7: RDS_03_A ODA: G3Type: 16, MSG: 0x0040, AppID: 4BD7\n"
            "CGroupDecoder Reset\n"
            "D301 5408 1234 5678: RDS_05_A \n");
}

TEST(Trace, LevelTwoShowsOnlyTheStationOnceComplete) {
  DecoderHarness h;
  StringTraceSink trace;
  h.decoder.SetTrace(&trace, 1);
  h.TuneIn("WAVE FM ");
  h.Feed(Ps(0, "XY"));
  EXPECT_EQ(trace.Text(), "\"WAVE FM \", Program Type: None: Music, TrafficInfo: 1\n");
}

TEST(Reset, ForgetsStationStoreAndConfirmedPi) {
  DecoderHarness h;
  h.TuneIn();
  h.Twice(Single(101, 12003));
  h.decoder.Reset();
  EXPECT_THAT(h.Messages(), IsEmpty());
  EXPECT_EQ(h.decoder.State().aid, 0u);
  EXPECT_EQ(h.decoder.State().logPath, kDefaultLogName);
  EXPECT_EQ(h.decoder.Status().Snapshot(), TmcStatus{});
  EXPECT_EQ(h.Feed(Ps(0, "RA")), 0u);
}

TEST(LogName, LongerThanAPathBufferMeansNoLog) {
  DecoderHarness h;
  EXPECT_TRUE(h.decoder.SetLogName(std::string(kLogPathMax, 'x')));
  EXPECT_EQ(h.decoder.State().logPath.size(), kLogPathMax);
  EXPECT_FALSE(h.decoder.SetLogName(std::string(kLogPathMax + 1, 'x')));
  EXPECT_EQ(h.decoder.State().logPath, "");
}

// The display thread reads the status while the worker changes the station name.
TEST(TmcStatusConsistency, EverySnapshotHoldsANameThatWasSent) {
  DecoderHarness h;
  h.ConfirmPi();
  const std::set<std::string> sent = {"", "RADIO 7 ", "RADIO 8 "};
  std::atomic<bool> done{false};
  std::atomic<int> bad{0};
  std::thread reader([&] {
    while (!done) {
      if (sent.count(h.decoder.Status().Snapshot().stationName) == 0) ++bad;
    }
  });
  for (int segment = 0; segment < 3; ++segment) h.Feed(Ps(segment, &"RADIO 7 "[2 * segment]));
  for (int round = 0; round < 5000; ++round) h.Feed(Ps(3, round % 2 == 0 ? "7 " : "8 "));
  done = true;
  reader.join();
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(h.decoder.Status().Snapshot().stationName, "RADIO 8 ");
}

}  // namespace
}  // namespace traffic
