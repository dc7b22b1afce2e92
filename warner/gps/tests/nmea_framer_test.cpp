#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "warner/gps/nmea_decoder.h"
#include "warner/gps/tests/nmea_test_util.h"

namespace gps {
namespace {

using testing::FramerHarness;
using testing::kGgaFix;
using testing::kRmc;

// Collects the TMC records the framer lifts out of the stream.
class RecordingTmcSink : public TmcRecordSink {
 public:
  void GroupInput(const uint8_t* bytes, size_t count, int channel) override {
    records.emplace_back(reinterpret_cast<const char*>(bytes), count);
    channels.push_back(channel);
  }
  std::vector<std::string> records;
  std::vector<int> channels;
};

TEST(Framer, CutsSentencesOutOfJunkAcrossRefills) {
  FramerHarness h;
  const auto events = h.Feed("garbage\r\n" + kRmc + "xx" + kGgaFix + kRmc);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].sentence, kRmc);
  EXPECT_EQ(events[1].sentence, kGgaFix);
  EXPECT_EQ(events[2].sentence, kRmc);
  for (const auto& e : events) EXPECT_EQ(e.next, kFrameSentence);
}

TEST(Framer, ADollarInsideASentenceIsKept) {
  FramerHarness h;
  const auto events = h.Feed("$GP$GPRMC,1\n");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].sentence, "$GP$GPRMC,1\n");
}

TEST(Framer, JunkWithoutLineFeedGivesOneErrorPer256BytesThenRecovers) {
  FramerHarness h;
  const auto events = h.Feed(std::string(300, 'x') + kRmc);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].next, kFrameError);
  EXPECT_EQ(events[1].next, kFrameSentence);
  EXPECT_EQ(events[1].sentence, kRmc);

  FramerHarness h2;
  const auto many = h2.Feed(std::string(256 * 3, 'x'));
  ASSERT_EQ(many.size(), 3u);
  EXPECT_EQ(h2.decoder.Snapshot().badSentenceCount, 3);
}

TEST(Framer, OverlongSentenceIsAFramingErrorAndTheNextOneParses) {
  FramerHarness h;
  const std::string longSentence = "$GPRMC," + std::string(260, '1') + "\n";
  const auto events = h.Feed(longSentence + kRmc);
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[0].next, kFrameError);
  EXPECT_EQ(events.back().sentence, kRmc);
  EXPECT_EQ(h.Parse(kRmc), kParseFix);
}

TEST(Framer, Bit7IsClearedAfterFraming) {
  FramerHarness h;
  const auto events = h.Feed(std::string("$GP\xC1\n"));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].sentence, "$GPA\n");
}

TEST(Framer, UsedUpInputIsNotReplayedWithoutARefill) {
  FramerHarness h;
  h.decoder.FeedInput({reinterpret_cast<const uint8_t*>(kRmc.data()), 64});
  while (h.decoder.NextSentence() != kFrameInputUsedUp) {
  }
  EXPECT_EQ(h.decoder.NextSentence(), kFrameInputUsedUp);
}

TEST(Framer, EmbeddedTmcRecordIsCutOutOfASentence) {
  FramerHarness h(NmeaSettings{0, 1});
  RecordingTmcSink sink;
  h.decoder.SetTmcSink(&sink);
  // The record (with a '$' and a line feed among its bytes) sits in the middle of the RMC.
  const std::string record = std::string("?") + "AB$\n\x01\x02\x03\x04\x05";
  const std::string stream = kRmc.substr(0, 30) + record + kRmc.substr(30);
  const auto events = h.Feed(stream);
  ASSERT_EQ(sink.records.size(), 1u);
  EXPECT_EQ(sink.records[0], record.substr(1));
  EXPECT_EQ(sink.channels[0], NmeaDecoder::kTmcChannelEmbedded);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].sentence, kRmc);
  EXPECT_EQ(h.decoder.ParseSentence(), kParseFix);
}

TEST(Framer, RecordSplitAcrossRefillsAndBackToBackRecords) {
  FramerHarness h(NmeaSettings{0, -1});
  RecordingTmcSink sink;
  h.decoder.SetTmcSink(&sink);
  const std::string records = "?123456789?abcdefghi";
  h.Feed(std::string(60, 'x') + records + kRmc);
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_EQ(sink.records[0], "123456789");
  EXPECT_EQ(sink.records[1], "abcdefghi");
}

TEST(Framer, WithoutADecoderRecordsAreDroppedAndWithASeparatePortLeftInTheStream) {
  FramerHarness dropped(NmeaSettings{0, 0});
  auto events = dropped.Feed(kRmc.substr(0, 20) + "?123456789" + kRmc.substr(20));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].sentence, kRmc);

  for (int separatePort : {2, -2}) {
    FramerHarness h(NmeaSettings{0, separatePort});
    RecordingTmcSink sink;
    h.decoder.SetTmcSink(&sink);
    events = h.Feed("$GP?123456789\n");
    EXPECT_TRUE(sink.records.empty());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].sentence, "$GP?123456789\n");
  }
}

TEST(Framer, ResetClearsAHalfFramedSentenceAndRecord) {
  FramerHarness h(NmeaSettings{0, 1});
  RecordingTmcSink sink;
  h.decoder.SetTmcSink(&sink);
  h.Feed("$GPRMC,12?1234");
  h.decoder.ResetGpsFix();
  const auto events = h.Feed("56789" + kRmc);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].sentence, kRmc);
  EXPECT_TRUE(sink.records.empty());
}

}  // namespace
}  // namespace gps
