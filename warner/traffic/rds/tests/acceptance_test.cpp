// A receiver's stream as the warner gets it, generated with rds-groups' library: a station, its TMC
// announcement, single- and multi-group messages (some repeated, some broken) merged into NMEA
// sentences, through the framer into the decoder; the traffic log must hold exactly the expected
// lines.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sync/critical_section.h"
#include "tools/rds_groups/rds_groups.h"
#include "warner/gps/nmea_decoder.h"
#include "warner/gps/tests/nmea_test_util.h"
#include "warner/traffic/rds/tests/rds_test_util.h"

namespace traffic {
namespace {

using namespace traffic::testing;

const char* const kMoreGroups = R"(
# Sent once only: the repeat filter never lets it through.
D301 8408 00C9 2EE5
# Multi-group: event 102 at 12005, extent 2 towards Northtown, CI 2; 25 km, then an empty word.
D301 8402 D066 2EE5
D301 8402 D066 2EE5
D301 8402 5280 0000
D301 8402 5280 0000
D301 8402 0000 0000
D301 8402 0000 0000
# Multi-group with CI 3 whose second group carries CI 4: never complete.
D301 8403 8191 2EE8
D301 8403 8191 2EE8
D301 8404 4000 0001
D301 8404 4000 0001
D301 8403 4000 0001
D301 8403 4000 0001
# A corrupted PI costs the three groups after it.
D311 0408 E0CD 5241
D301 0408 E0CD 5241
D301 0409 E0CD 4449
D301 040A E0CD 4F20
# The multi-group message again, unchanged: not logged again.
D301 8402 D066 2EE5
D301 8402 D066 2EE5
D301 8402 5280 0000
D301 8402 5280 0000
D301 8402 0000 0000
D301 8402 0000 0000
# And with 30 km instead of 25: logged again.
D301 8402 D066 2EE5
D301 8402 D066 2EE5
D301 8402 5288 0000
D301 8402 5288 0000
D301 8402 0000 0000
D301 8402 0000 0000
# Another application is announced: messages are ignored until TMC is announced again.
D301 3410 0040 4BD7
D301 8408 012E 2EEA
D301 8408 012E 2EEA
D301 3410 0040 CD46
D301 8408 012D 2EEA
D301 8408 012D 2EEA
)";

const char* const kExpectedLog =
    "05.03.2024 14:07:09, RADIO 7 : A99 Millbrook, Northtown - Southport : stationary traffic { L 12003, E 101, R Q1, "
    "D 0, X 0, U 1, DV 0}\r\n"
    "05.03.2024 14:07:09, RADIO 7 : B12 Lower Dene <-> Upper Dene: slippery road { L 13002, E 501, R W1, D 0, X 1, U "
    "0, DV 0}\r\n"
    "05.03.2024 14:07:09, RADIO 7 : A99 Millbrook, Northtown - Southport -> Harwick: stationary traffic for 25 km { L "
    "12005, E 102, R Q2, D 1, X 2, U 1, DV 0, AB 02800000 00000000}\r\n"
    "05.03.2024 14:07:09, RADIO 7 : A99 Millbrook, Northtown - Southport -> Harwick: stationary traffic for 30 km { L "
    "12005, E 102, R Q2, D 1, X 2, U 1, DV 0, AB 02880000 00000000}\r\n"
    "05.03.2024 14:07:09, RADIO 7 : A99 Kestrel Hill, Northtown - Southport : roadworks { L 12010, E 301, R R1, D 0, X "
    "0, U 1, DV 0}\r\n";

using gps::testing::Nmea;

std::string GpsLog(int seconds) {
  std::string log;
  for (int s = 0; s < seconds; ++s) {
    char time[16];
    std::snprintf(time, sizeof time, "1207%02d", s % 60);
    log += Nmea(std::string("GPGGA,") + time + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    log += Nmea(std::string("GPRMC,") + time + ",A,4807.038,N,01131.000,E,022.4,084.4,050324,003.1,W");
    log += Nmea("GPVTG,084.4,T,,M,012.1,N,022.4,K");
  }
  return log;
}

std::string Groups() {
  rds_groups::StationPlan station{0xD301, "RADIO 7", 1, {{101, 12003, 0, 0}, {501, 13002, 1, 0}, {101, 12003, 0, 0}}};
  return rds_groups::MakeGroupFile(station) + kMoreGroups;
}

TEST(Acceptance, GeneratedStreamGivesExactlyTheExpectedTrafficLog) {
  std::vector<rds_groups::Group> groups;
  std::string error;
  ASSERT_TRUE(rds_groups::ParseGroups(Groups(), groups, error)) << error;
  const std::string nmea = GpsLog(30);
  const rds_groups::MergePlan plans[] = {{rds_groups::MergeMode::kInsideSentences, 1},
                                         {rds_groups::MergeMode::kEveryBytes, 13},
                                         {rds_groups::MergeMode::kEverySentences, 2}};
  for (const rds_groups::MergePlan& plan : plans) {
    SCOPED_TRACE(static_cast<int>(plan.mode));
    const std::string stream = rds_groups::MergeRecords(nmea, rds_groups::TmcRecords(groups), plan);
    TempFolder folder;
    DecoderHarness h;
    h.OpenSampleLists();
    h.decoder.SetLogName(folder.File("SntTMC.txt"));
    std::string observed;  // what the warner shows of each logged message: the line itself
    h.decoder.SetLogObserver([&](std::string_view line) { observed.append(line).append("\r\n"); });

    platform::CriticalSection lock;
    gps::NmeaDecoder framer(lock);
    framer.SetSettings({0, 1});
    framer.SetTmcSink(&h.decoder);
    int sentences = 0;
    for (size_t at = 0; at < stream.size();) {
      at += framer.FeedInput({reinterpret_cast<const uint8_t*>(stream.data()) + at, stream.size() - at});
      for (int r; (r = framer.NextSentence()) != gps::kFrameInputUsedUp;) {
        if (r == gps::kFrameSentence) ++sentences;
      }
    }
    EXPECT_EQ(sentences, 90);
    EXPECT_EQ(ReadFile(folder.File("SntTMC.txt")), kExpectedLog);
    EXPECT_EQ(observed, kExpectedLog);
    EXPECT_EQ(h.decoder.Status().Snapshot(), (TmcStatus{"RADIO 7 ", 5}));
    EXPECT_EQ(h.Messages().size(), 5u);  // 101, 501, 102, 401 (never complete), 301
    EXPECT_TRUE(h.reporter.Records().empty());
  }
}

}  // namespace
}  // namespace traffic
