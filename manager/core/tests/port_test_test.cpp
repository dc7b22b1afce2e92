#include "manager/core/port_test.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "manager/core/nmea_summary.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/pty.h"
#include "platform/testing/reports.h"
#include "platform/testing/system_root.h"

namespace manager {
namespace {

constexpr const char* kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
constexpr const char* kRmc = "$GPRMC,123520,A,4807.038,S,01131.000,W,022.4,084.4,230394,003.1,W*6F\r\n";
constexpr const char* kVtg = "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n";

TEST(SentenceSummaryTest, LinesOfTheThreeSentencesAndNoneForTheRest) {
  const std::pair<std::string, const char*> cases[] = {
      {kGga, "GGA :19 11.51667E 48.11730N Fx 1 nS 8"},
      {kRmc, "RMC :20 -11.51667W -48.11730S A 22.4kn trA 84.400000"},
      {kVtg, "VTG     54.70000T 34.40000M 10.2km 5.5kn"},
      {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*48\r\n", nullptr},  // checksum
      {"$GPGSV,1,1,00*79\r\n", nullptr},
      {"$GPVTG,054.7,T,034.4,M*4E\r\n", nullptr},  // fields missing
      {"$GPRMC,1235*62\r\n", nullptr},             // time too short
  };
  for (const auto& [sentence, expected] : cases) {
    const std::optional<std::string> summary = SentenceSummary(sentence);
    if (expected == nullptr) {
      EXPECT_FALSE(summary) << sentence;
    } else {
      EXPECT_EQ(summary.value_or("none"), expected) << sentence;
    }
  }
}

TEST(SentenceSummaryTest, AssemblerJoinsPiecesAndDropsOverlongLines) {
  SentenceAssembler assembler;
  std::vector<std::string> sentences;
  const std::string stream = std::string("noise$GP") + std::string(300, 'x') + "\n" + kGga + kVtg;
  for (const char c : stream) {
    if (assembler.Feed(static_cast<uint8_t>(c) | 0x80)) sentences.emplace_back(assembler.Sentence());
  }
  EXPECT_EQ(sentences, (std::vector<std::string>{kGga, kVtg}));
}

// Records the list as a list box would hold it.
class ListSink final : public PortTestSink {
 public:
  void Clear() override {
    std::lock_guard lock(mutex_);
    lines_.clear();
  }
  void RemoveFirstLine() override {
    std::lock_guard lock(mutex_);
    lines_.erase(lines_.begin());
  }
  void AddLine(const std::string& line) override {
    std::lock_guard lock(mutex_);
    lines_.push_back(line);
    ++added_;
  }
  std::vector<std::string> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  bool WaitForLines(size_t added) const {
    for (int i = 0; i < 200; ++i) {
      {
        std::lock_guard lock(mutex_);
        if (added_ >= added) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  size_t added_ = 0;
};

class PortTestTest : public platform::testing::SystemRootTest {
 protected:
  PortTestTest() {
    pty_.MakeRaw();
    platform::testing::MapPort("COM4:", pty_.slavePath());
  }
  platform::testing::Pty pty_;
  platform::ScriptedReporter reporter_;
  ListSink sink_;
  PortTest test_{reporter_, sink_};
};

TEST_F(PortTestTest, RawLinesOfThirtySixAndAtMostEightKept) {
  ASSERT_TRUE(test_.Start(PortTestMode::kRaw, {"COM4:", false, 4800}));
  EXPECT_EQ(test_.Caption(), "Raw Data from COM4:");
  std::string bytes;
  for (int i = 0; i < 10 * 36 + 1; ++i) bytes += static_cast<char>('A' + i / 36);
  pty_.Send(bytes);
  ASSERT_TRUE(sink_.WaitForLines(10));
  test_.Stop();
  const std::vector<std::string> lines = sink_.Lines();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines.front(), std::string(36, 'C'));
  EXPECT_EQ(lines.back(), std::string(36, 'J'));
  EXPECT_FALSE(test_.Running());
}

TEST_F(PortTestTest, GpsSentenceSplitAcrossReadsIsShownOnce) {
  ASSERT_TRUE(test_.Start(PortTestMode::kGps, {"COM4:", false, 9600}));
  const std::string sentence = kRmc;
  pty_.Send(sentence.substr(0, 20));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  pty_.Send(sentence.substr(20) + kVtg);
  ASSERT_TRUE(sink_.WaitForLines(2));
  test_.Stop();
  EXPECT_EQ(sink_.Lines(), (std::vector<std::string>{*SentenceSummary(kRmc), *SentenceSummary(kVtg)}));
}

TEST_F(PortTestTest, PortThatCannotBeOpenedIsSaidAndNoTestRuns) {
  EXPECT_FALSE(test_.Start(PortTestMode::kGps, {"COM9:", false, 4800}));
  EXPECT_TRUE(platform::testing::OneRecordStartingWith(reporter_, "Can't open 'COM9:'\nError No 2: "));
  EXPECT_FALSE(test_.Running());
  EXPECT_EQ(test_.Caption(), "PortData");
}

}  // namespace
}  // namespace manager
