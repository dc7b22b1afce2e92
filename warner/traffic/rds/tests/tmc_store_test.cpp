#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "warner/traffic/rds/rds_decoder.h"
#include "warner/traffic/rds/tests/rds_test_util.h"

namespace traffic {
namespace {

using namespace traffic::testing;
using ::testing::ElementsAre;

size_t LineCount(const std::string& path) {
  const std::string log = ReadFile(path);
  return static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
}

using TmcStore = LoggingDecoderTest;

TEST_F(TmcStore, RepeatedGroupsMakeOneMessage) {
  EXPECT_EQ(h.Feed(Single(101, 12003)), 0u);
  EXPECT_EQ(h.Feed(Single(101, 12003)), kChangeTmcCompleted);
  EXPECT_EQ(h.Feed(Single(101, 12003)), 0u);
  EXPECT_EQ(h.Twice(Single(201, 12004)), kChangeTmcCompleted);
  // Evaluated again after another message, but the store has it already.
  EXPECT_EQ(h.Twice(Single(101, 12003)), 0u);
  ASSERT_EQ(h.Messages().size(), 2u);
  EXPECT_EQ(h.Messages().front().event, 201);
  EXPECT_EQ(h.Messages().front().index, 2);
  EXPECT_EQ(h.decoder.Status().Snapshot().messageCount, 2);
  EXPECT_EQ(LineCount(log), 2u);
}

TEST_F(TmcStore, IdentityIsCountryTableEventAndLocation) {
  h.Twice(Single(101, 12003));
  EXPECT_EQ(h.Twice(Single(101, 12003, 3, 1, 2)), 0u);  // other extent, direction, duration
  h.Feed(Announce(2));
  EXPECT_EQ(h.Twice(Single(101, 12003)), kChangeTmcCompleted);  // other location table
  EXPECT_EQ(h.Messages().size(), 2u);
}

TEST_F(TmcStore, MultiGroupMessageCompletesWithItsLastGroup) {
  EXPECT_EQ(h.Twice(First(3, 102, 12003)), kChangeTmcUpdated);
  EXPECT_EQ(h.Twice(Next(3, true, 1, 0x2800000)), kChangeTmcUpdated);
  EXPECT_EQ(LineCount(log), 0u);
  EXPECT_EQ(h.Twice(Next(3, false, 0, 0x0000001)), kChangeTmcUpdated | kChangeTmcCompleted);
  ASSERT_EQ(h.Messages().size(), 1u);
  const TmcMessage& m = h.Messages().front();
  EXPECT_EQ(m.complete, 1);
  EXPECT_EQ(m.groupCount, 1);
  EXPECT_THAT(m.dataWords, ElementsAre(0x2800000u, 0x0000001u, kWordNotReceived, kWordNotReceived));
  EXPECT_EQ(h.decoder.Status().Snapshot().messageCount, 1);
  EXPECT_EQ(LineCount(log), 1u);
  // Further copies of the last group change nothing.
  EXPECT_EQ(h.Twice(Next(3, false, 0, 0x0000001)), 0u);
  EXPECT_EQ(LineCount(log), 1u);
}

TEST_F(TmcStore, ContinuityIndexMismatchEndsTheAssembly) {
  h.Twice(First(3, 102, 12003));
  EXPECT_EQ(h.Twice(Next(4, true, 1, 0x2800000)), 0u);
  EXPECT_EQ(h.Twice(Next(3, true, 1, 0x2800000)), 0u);
  EXPECT_EQ(h.Twice(Next(3, false, 0, 1)), 0u);
  ASSERT_EQ(h.Messages().size(), 1u);
  EXPECT_EQ(h.Messages().front().complete, 0);
  EXPECT_EQ(h.decoder.State().tmcMessageCount, 0);
}

TEST_F(TmcStore, GroupSequenceErrorEndsTheAssembly) {
  h.Twice(First(5, 102, 12003));
  h.Twice(Next(5, true, 2, 0x1111111));
  EXPECT_EQ(h.Twice(Next(5, false, 0, 0x2222222)), 0u);  // GSI 1 missing
  EXPECT_EQ(h.Twice(Next(5, false, 1, 0x2222222)), 0u);
  EXPECT_EQ(h.Messages().front().complete, 0);
  EXPECT_EQ(h.Messages().front().dataWords[1], kWordNotReceived);
}

TEST_F(TmcStore, AFirstGroupAgainStartsTheAssemblyAfresh) {
  h.SendMulti(1, 102, 12003, {0x2800000, 0x0000001});
  ASSERT_EQ(LineCount(log), 1u);

  // Sent again, the message is not complete before its last group is in again...
  EXPECT_EQ(h.Twice(First(2, 102, 12003)), 0u);
  const TmcMessage& m = h.Messages().front();
  EXPECT_EQ(m.complete, 0);
  EXPECT_EQ(m.ci, 2);
  EXPECT_EQ(m.groupCount, -1);
  EXPECT_EQ(m.remaining, -1);
  EXPECT_THAT(m.dataWords, ElementsAre(kWordNotReceived, kWordNotReceived, kWordNotReceived, kWordNotReceived));
  EXPECT_EQ(h.Twice(Next(2, true, 1, 0x2800000)), kChangeTmcUpdated);
  EXPECT_EQ(m.complete, 0);
  EXPECT_EQ(LineCount(log), 1u);
  // ...and unchanged it is neither counted nor logged again.
  EXPECT_EQ(h.Twice(Next(2, false, 0, 0x0000001)), kChangeTmcUpdated);
  EXPECT_EQ(m.complete, 1);
  EXPECT_EQ(LineCount(log), 1u);
  EXPECT_EQ(h.decoder.Status().Snapshot().messageCount, 1);

  // With new content it is.
  EXPECT_EQ(h.SendMulti(2, 102, 12003, {0x2880000, 0x0000001}) & kChangeTmcCompleted, kChangeTmcCompleted);
  EXPECT_EQ(LineCount(log), 2u);
  EXPECT_EQ(h.decoder.Status().Snapshot().messageCount, 2);
  EXPECT_EQ(h.Messages().size(), 1u);
}

TEST_F(TmcStore, ANewFirstGroupReplacesTheMessageBeingAssembled) {
  h.Twice(First(1, 102, 12003));
  h.Twice(First(2, 104, 12005));
  EXPECT_EQ(h.Twice(Next(2, true, 0, 0x2800000)), kChangeTmcUpdated | kChangeTmcCompleted);
  EXPECT_EQ(h.Messages().front().event, 104);
  EXPECT_EQ(h.Messages().back().complete, 0);
}

TEST_F(TmcStore, UnknownCodesAreStoredAndCountedButNotLogged) {
  EXPECT_EQ(h.Twice(Single(101, 9999)), kChangeTmcCompleted);
  EXPECT_EQ(h.Twice(Single(2000, 12003)), kChangeTmcCompleted);
  EXPECT_EQ(h.decoder.Status().Snapshot().messageCount, 2);
  EXPECT_EQ(ReadFile(log), "");
  EXPECT_TRUE(h.Messages().front().text.starts_with("A99 Millbrook, Northtown - Southport : Unknown event no 2000"));
}

TEST(TmcStoreWithoutLists, MessagesAreCountedButNotLogged) {
  TempFolder folder;
  DecoderHarness h;
  h.decoder.SetLogName(folder.File("SntTMC.txt"));
  h.TuneIn();
  EXPECT_EQ(h.Twice(Single(101, 12003)), kChangeTmcCompleted);
  EXPECT_EQ(h.decoder.Status().Snapshot().messageCount, 1);
  EXPECT_FALSE(std::filesystem::exists(folder.File("SntTMC.txt")));
  EXPECT_EQ(h.Messages().front().text,
            "Location code table not available.: Event code table not available. { L 12003, E 101, R , D 0, X 0, U 0, "
            "DV 0}");
}

TEST(TmcStoreTrace, StoreLinesAtLevelThree) {
  DecoderHarness h;
  StringTraceSink trace;
  h.decoder.SetTrace(&trace, 1);
  h.decoder.SetGroupTraceLevel(8, 3);
  h.TuneIn();
  trace.Clear();
  h.SendMulti(1, 102, 12003, {0x2800000, 1}, 2, 1);
  EXPECT_EQ(trace.Text(),
            "D301 8401 D066 2EE3: RDS_08_A TMC Match: 0, LastAccess 0\n"
            "D301 8401 D066 2EE3: RDS_08_A TMCM: tms.Duration: 0, tms.Direction: 1, tms.Diversion: 0, tms.Extent:2, "
            "Event:    102 Location  12003.\n"
            "TMCM: Event:    102 Location  12003 not found.\n"
            "*** TMCM: Event:    102 Location  12003 inserted with CI 1.\n"
            "D301 8401 5280 0000: RDS_08_A TMC Match: 0, LastAccess 0\n"
            "D301 8401 5280 0000: RDS_08_A TMCM: add first.\n"
            "*** TMCM: Event:    102 Location  12003 not complete.\n"
            "D301 8401 0000 0001: RDS_08_A TMC Match: 0, LastAccess 0\n"
            "D301 8401 0000 0001: RDS_08_A TMCM: add no1.\n"
            "*** TMCM: Event:    102 Location  12003 complete.\n");
}

}  // namespace
}  // namespace traffic
