// Drives routes and reads the logs back through the warner's own decoder, so a log that the
// warner would misread fails here.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <span>
#include <string>
#include <vector>

#include "platform/sync/critical_section.h"
#include "platform/testing/files.h"
#include "platform/testing/temp_folder.h"
#include "tools/drive_sim/motion.h"
#include "tools/drive_sim/nmea_writer.h"
#include "tools/drive_sim/route.h"
#include "warner/gps/conversions.h"
#include "warner/gps/gps_fix.h"
#include "warner/gps/nmea_decoder.h"

namespace drive_sim {
namespace {

namespace fs = std::filesystem;

struct Decoded {
  std::string sentence;
  int result = 0;
  gps::GpsFix fix;
};

// Feeds a log to the decoder in the warner's 64-byte reads and keeps each sentence's result.
std::vector<Decoded> Decode(const std::string& log) {
  platform::CriticalSection lock;
  gps::NmeaDecoder decoder(lock);
  decoder.ResetGpsFix();
  std::vector<Decoded> out;
  std::span<const uint8_t> rest(reinterpret_cast<const uint8_t*>(log.data()), log.size());
  while (!rest.empty()) {
    rest = rest.subspan(decoder.FeedInput(rest));
    for (int next = decoder.NextSentence(); next != gps::kFrameInputUsedUp; next = decoder.NextSentence()) {
      EXPECT_EQ(next, gps::kFrameSentence);
      if (next != gps::kFrameSentence) continue;
      Decoded d;
      d.sentence = std::string(decoder.Sentence());
      d.result = decoder.ParseSentence();
      d.fix = decoder.Snapshot();
      out.push_back(d);
    }
  }
  return out;
}

Route MustParse(const std::string& text) {
  Route route;
  RouteError error;
  EXPECT_TRUE(ParseRoute(text, route, error)) << error.line << ": " << error.message;
  return route;
}

std::vector<DriveSample> Drive(const std::string& text, double acceleration = kDefaultAcceleration) {
  std::vector<DriveSample> samples;
  std::string message;
  EXPECT_TRUE(SimulateDrive(MustParse(text), MotionOptions{acceleration}, samples, message)) << message;
  return samples;
}

double CourseDifference(double a, double b) {
  const double d = std::fabs(std::fmod(a - b + 540.0, 360.0) - 180.0);
  return d;
}

// Every sentence of the log must come back as the sample it was written from.
void ExpectDecodesToSamples(const std::vector<DriveSample>& samples, int precision) {
  NmeaOptions options;
  options.precision = precision;
  const std::vector<Decoded> decoded = Decode(WriteNmeaLog(samples, options));
  ASSERT_EQ(decoded.size(), samples.size() * 3);
  const double positionTolerance = 0.5 * std::pow(10.0, -precision) / 60.0 + 1e-9;
  for (size_t i = 0; i < samples.size(); ++i) {
    const DriveSample& s = samples[i];
    const Decoded& gga = decoded[3 * i];
    const Decoded& rmc = decoded[3 * i + 1];
    const Decoded& vtg = decoded[3 * i + 2];
    SCOPED_TRACE(rmc.sentence);
    ASSERT_EQ(gga.result, gps::kParseFix) << gga.sentence;
    ASSERT_EQ(rmc.result, gps::kParseFix);
    ASSERT_EQ(vtg.result, gps::kParseVtg) << vtg.sentence;
    for (const Decoded* d : {&gga, &rmc}) {
      EXPECT_NEAR(d->fix.latitude, s.latitude, positionTolerance);
      EXPECT_NEAR(d->fix.longitude, s.longitude, positionTolerance);
    }
    EXPECT_NEAR(gga.fix.altitude, s.altitude, 0.05);
    EXPECT_NEAR(rmc.fix.speedKmh, s.speedKmh, 0.005 * 1.852 + 1e-9);
    EXPECT_LE(CourseDifference(rmc.fix.course, s.course), 0.05 + 1e-9);
    EXPECT_LT(rmc.fix.course, 360.0);
    EXPECT_NEAR(vtg.fix.speedKmh, s.speedKmh, 0.05 + 1e-9);
    EXPECT_LE(CourseDifference(vtg.fix.course, s.course), 0.05 + 1e-9);
    // A GGA and its VTG complete a record for receivers that send no RMC.
    EXPECT_EQ(vtg.fix.validMask & gps::kValidFixComplete, gps::kValidFixComplete);
    const CivilTime t = FromUtcSeconds(s.utcSeconds);
    EXPECT_EQ(rmc.fix.hour * 3600 + rmc.fix.minute * 60 + rmc.fix.second, t.hour * 3600 + t.minute * 60 + t.second);
    EXPECT_EQ(rmc.fix.day, t.day);
    EXPECT_EQ(rmc.fix.month, t.month);
    EXPECT_EQ(rmc.fix.year, t.year % 100);
  }
}

struct RoundTripCase {
  const char* name;
  const char* route;
  double minLon, maxLon;  // the drive must really reach both ends
};

class RoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, EverySentenceDecodesToTheSimulatedState) {
  const std::vector<DriveSample> samples = Drive(GetParam().route);
  ASSERT_GT(samples.size(), 20u);
  bool sawMin = false, sawMax = false;
  for (const DriveSample& s : samples) {
    sawMin = sawMin || s.longitude <= GetParam().minLon + 0.001;
    sawMax = sawMax || s.longitude >= GetParam().maxLon - 0.001;
  }
  EXPECT_TRUE(sawMin && sawMax);
  ExpectDecodesToSamples(samples, 4);
  ExpectDecodesToSamples(samples, 5);
  ExpectDecodesToSamples(samples, 7);
}

INSTANTIATE_TEST_SUITE_P(
    Hemispheres, RoundTrip,
    testing::Values(RoundTripCase{"NorthEast", "11.40 48.05 130 alt=480\n11.43 48.07 alt=530\n11.41 48.08 60\n", 11.40,
                                  11.43},
                    RoundTripCase{"SouthWest", "-58.40 -34.60 90\n-58.37 -34.63\n-58.39 -34.58\n", -58.40, -58.37},
                    RoundTripCase{"Across180", "179.995 -16.5 120\n-179.995 -16.49\n", -179.995, 179.995},
                    RoundTripCase{"AcrossEquatorAndGreenwich", "-0.004 0.004 100\n0.004 -0.004\n", -0.004, 0.004}),
    [](const testing::TestParamInfo<RoundTripCase>& p) { return std::string(p.param.name); });

// What stands between '$' and '*', after checking the checksum and the line end.
std::string Body(const std::string& sentence) {
  const size_t star = sentence.rfind('*');
  if (sentence.size() < 6 || sentence[0] != '$' || star != sentence.size() - 5 || !sentence.ends_with("\r\n")) {
    ADD_FAILURE() << sentence;
    return {};
  }
  std::string body = sentence.substr(1, star - 1);
  EXPECT_EQ(sentence.substr(star + 1, 2), Checksum(body)) << sentence;
  return body;
}

TEST(Format, SentencesOfAFixAndOfASearchingReceiver) {
  DriveSample s;
  s.utcSeconds = ToUtcSeconds({2026, 3, 9, 7, 5, 3});
  s.latitude = -33.5;
  s.longitude = -70.25;
  s.speedKmh = 92.6;
  s.course = 271.25;
  s.altitude = 512.34;
  EXPECT_EQ(FormatGga(s, 4), "$GPGGA,070503.000,3330.0000,S,07015.0000,W,1,08,0.9,512.3,M,0.0,M,,*" +
                                 Checksum("GPGGA,070503.000,3330.0000,S,07015.0000,W,1,08,0.9,512.3,M,0.0,M,,") +
                                 "\r\n");
  EXPECT_EQ(Body(FormatRmc(s, 4)), "GPRMC,070503.000,A,3330.0000,S,07015.0000,W,50.00,271.2,090326,,,A");
  EXPECT_EQ(Body(FormatVtg(s)), "GPVTG,271.2,T,,M,50.00,N,92.6,K,A");
  s.receiver = ReceiverState::kNoFix;
  EXPECT_EQ(Body(FormatGga(s, 4)), "GPGGA,070503.000,,,,,0,00,,,M,,M,,");
  EXPECT_EQ(Body(FormatRmc(s, 4)), "GPRMC,070503.000,V,,,,,,,090326,,,N");
  EXPECT_EQ(Body(FormatVtg(s)), "GPVTG,,T,,M,,N,,K,N");
}

TEST(Format, RoundingCarriesIntoTheDegreeAndTheCourseStaysBelow360) {
  DriveSample s;
  s.latitude = 47.9999999;  // 59.999994 minutes
  s.longitude = -180.0;     // the 180th meridian, spelt west
  s.course = 359.97;
  const std::string gga = FormatGga(s, 4);
  EXPECT_NE(gga.find(",4800.0000,N,18000.0000,W,"), std::string::npos) << gga;
  EXPECT_NE(FormatGga(s, 7).find(",4759.9999940,N,"), std::string::npos);
  EXPECT_EQ(Body(FormatVtg(s)).substr(0, 11), "GPVTG,0.0,T");
  const std::vector<Decoded> d = Decode(FormatGga(s, 4) + FormatRmc(s, 4) + FormatVtg(s));
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[1].result, gps::kParseFix);
  EXPECT_DOUBLE_EQ(d[1].fix.course, 0.0);
  EXPECT_DOUBLE_EQ(d[1].fix.latitude, 48.0);
}

TEST(Format, SentenceSubsetsAndWhatTheDecoderMakesOfThem) {
  const std::vector<DriveSample> samples = Drive("1 1 36\n1.001 1\n", 0.0);
  NmeaOptions ggaVtg;
  ASSERT_TRUE(ParseSentenceList("GGA,vtg", ggaVtg.sentences));
  const std::vector<Decoded> d = Decode(WriteNmeaLog(samples, ggaVtg));
  ASSERT_EQ(d.size(), samples.size() * 2);
  EXPECT_EQ(d[0].fix.lastSentenceType, gps::kSentenceGga);
  EXPECT_EQ(d[1].fix.lastSentenceType, gps::kSentenceVtg);
  unsigned mask = kSendAll;
  EXPECT_FALSE(ParseSentenceList("gga,gsv", mask));
  EXPECT_FALSE(ParseSentenceList("", mask));
  EXPECT_FALSE(ParseSentenceList(",", mask));
  EXPECT_EQ(mask, static_cast<unsigned>(kSendAll));
  ASSERT_TRUE(ParseSentenceList("rmc", mask));
  NmeaOptions rmc;
  rmc.sentences = mask;
  EXPECT_EQ(Decode(WriteNmeaLog(samples, rmc)).size(), samples.size());
}

TEST(Motion, ConstantSpeedFollowsTheGreatCircleOneSecondApart) {
  // 36 km/h without acceleration: 10 m each second along a leg of about 2.2 km to the north-east.
  const std::vector<DriveSample> s = Drive("start 2026-12-31 23:59:30\n8.0 47.0 36\n8.02 47.012\n", 0.0);
  const double length = DistanceMetres(47.0, 8.0, 47.012, 8.02);
  ASSERT_EQ(s.size(), static_cast<size_t>(std::ceil(length / 10.0)) + 1);
  for (size_t i = 1; i + 1 < s.size(); ++i) {
    EXPECT_EQ(s[i].utcSeconds - s[i - 1].utcSeconds, 1);
    EXPECT_NEAR(DistanceMetres(s[i - 1].latitude, s[i - 1].longitude, s[i].latitude, s[i].longitude), 10.0, 0.03);
    if (DistanceMetres(s[i].latitude, s[i].longitude, 47.012, 8.02) > 50.0) {
      EXPECT_NEAR(s[i].course, gps::InitialBearing(s[i].longitude, s[i].latitude, 8.02, 47.012), 0.02);
    }
    EXPECT_DOUBLE_EQ(s[i].speedKmh, 36.0);
    EXPECT_DOUBLE_EQ(s[i].latitude * 1e7, std::round(s[i].latitude * 1e7));
  }
  EXPECT_NEAR(s.front().course, gps::InitialBearing(8.0, 47.0, 8.02, 47.012), 1e-9);
  EXPECT_DOUBLE_EQ(s.back().latitude, 47.012);
  EXPECT_DOUBLE_EQ(s.back().longitude, 8.02);
  EXPECT_EQ(s.back().speedKmh, 0.0);
  // Across midnight the date of the RMC moves on with the time.
  const CivilTime last = FromUtcSeconds(s.back().utcSeconds);
  EXPECT_EQ(last.year, 2027);
  EXPECT_EQ(last.day, 1);
  EXPECT_NE(WriteNmeaLog({s.back()}, {}).find(",010127,"), std::string::npos);
}

TEST(Motion, AccelerationBrakingAndSpeedChangesAtWaypoints) {
  const std::vector<DriveSample> s = Drive("8.0 47.0 120\n8.03 47.0 60\n8.06 47.0\n");
  double maxChange = 0.0, maxSpeed = 0.0;
  for (size_t i = 1; i < s.size(); ++i) {
    maxChange = std::max(maxChange, std::fabs(s[i].speedKmh - s[i - 1].speedKmh));
    maxSpeed = std::max(maxSpeed, s[i].speedKmh);
  }
  EXPECT_LE(maxChange, kDefaultAcceleration * 3.6 + 1e-9);
  EXPECT_DOUBLE_EQ(maxSpeed, 120.0);
  EXPECT_EQ(s.front().speedKmh, 0.0);
  EXPECT_EQ(s.back().speedKmh, 0.0);
  // From the middle waypoint on the car drives 60, having braked before it.
  for (const DriveSample& x : s) {
    if (x.longitude > 8.0301) {
      EXPECT_LE(x.speedKmh, 60.0 + 1e-9) << x.longitude;
    }
  }
  // A short leg at a high speed is driven as fast as braking for the end allows, and arrives.
  const std::vector<DriveSample> shortLeg = Drive("8.0 47.0 200\n8.0 47.001\n");
  EXPECT_LT(shortLeg.size(), 30u);
  EXPECT_DOUBLE_EQ(shortLeg.back().latitude, 47.001);
}

TEST(Motion, StopPauseAndNoFix) {
  // Stand 5 s at the second waypoint; lose the fix 3 s as the car leaves; a 4 s silence from the
  // third waypoint on while the car keeps driving.
  const std::vector<DriveSample> s =
      Drive("8.0 47.0 36\n8.0 47.001\nstop 5\nnofix 3\n8.0 47.002\npause 4\n8.0 47.003\n", 0.0);
  size_t standing = 0, noFix = 0, silent = 0;
  for (const DriveSample& x : s) {
    if (x.latitude == 47.001) {
      ++standing;
      EXPECT_EQ(x.speedKmh, 0.0);
      EXPECT_NEAR(x.course, 0.0, 1e-6);
    }
    noFix += x.receiver == ReceiverState::kNoFix;
    silent += x.receiver == ReceiverState::kSilent;
  }
  EXPECT_EQ(standing, 6u);  // N seconds of standing have a sample at both ends
  EXPECT_EQ(noFix, 3u);
  EXPECT_EQ(silent, 4u);
  for (size_t i = 1; i < s.size(); ++i) EXPECT_EQ(s[i].utcSeconds, s[i - 1].utcSeconds + 1);

  const std::vector<Decoded> d = Decode(WriteNmeaLog(s, {}));
  ASSERT_EQ(d.size(), (s.size() - silent) * 3);
  int noFixGga = 0, noFixRmc = 0;
  for (size_t i = 0; i < d.size(); ++i) {
    if (d[i].result == gps::kParseNoFix) {
      noFixGga += d[i].fix.lastSentenceType == gps::kSentenceGga;
      noFixRmc += d[i].fix.lastSentenceType == gps::kSentenceRmc;
      EXPECT_EQ(d[i].fix.validMask & gps::kValidPosition, 0u);
    }
    if (d[i].fix.lastSentenceType == gps::kSentenceVtg) {
      EXPECT_EQ(d[i].result, gps::kParseVtg) << d[i].sentence;  // the empty VTG is well-formed too
    }
  }
  EXPECT_EQ(noFixGga, 3);
  EXPECT_EQ(noFixRmc, 3);
  // The silence is a gap in time and in place: the car went on meanwhile.
  size_t gap = 0;
  for (size_t i = 3; i < d.size(); i += 3) {
    const int32_t step = d[i].fix.timeOfDayMs - d[i - 3].fix.timeOfDayMs;
    if (step != 1000) {
      EXPECT_EQ(step, 5000);
      EXPECT_NEAR((d[i].fix.latitude - d[i - 3].fix.latitude) * 111195.0, 50.0, 0.5);
      ++gap;
    }
  }
  EXPECT_EQ(gap, 1u);
}

TEST(Motion, OutagesAtTheEndAndBeforeTheFirstWaypoint) {
  const std::vector<DriveSample> s = Drive("pause 2\nstop 3\n8.0 47.0\nnofix 4\n");
  // Standing 3 s, silent for the first 2; then the log runs on until the 4 s without a fix are over.
  ASSERT_EQ(s.size(), 7u);
  EXPECT_EQ(s[0].receiver, ReceiverState::kSilent);
  EXPECT_EQ(s[1].receiver, ReceiverState::kSilent);
  EXPECT_EQ(s[2].receiver, ReceiverState::kFix);
  for (size_t i = 3; i < 7; ++i) EXPECT_EQ(s[i].receiver, ReceiverState::kNoFix);
  EXPECT_EQ(Drive("8.0 47.0\n8.0 47.0\n8.0 47.0005\n", 0.0).back().latitude, 47.0005);  // a zero-length leg
}

TEST(Motion, DrivesThatCannotBeMade) {
  std::vector<DriveSample> samples;
  std::string message;
  EXPECT_FALSE(SimulateDrive(MustParse("0 10\n180 -10\n"), {}, samples, message));
  EXPECT_NE(message.find("line 2"), std::string::npos) << message;
  EXPECT_FALSE(SimulateDrive(MustParse("0 0 1\n90 0\n"), {}, samples, message));  // 10000 km at 1 km/h
  EXPECT_NE(message.find("longer than"), std::string::npos) << message;
}

TEST(Noise, TheSeedDecidesTheNoiseAndTheFixStaysNearTheRoad) {
  const std::vector<DriveSample> s = Drive("8.0 47.0 60\n8.0 47.02\n");
  NmeaOptions a;
  a.noiseMetres = 5.0;
  a.seed = 7;
  NmeaOptions b = a;
  b.seed = 8;
  EXPECT_EQ(WriteNmeaLog(s, a), WriteNmeaLog(s, a));
  EXPECT_NE(WriteNmeaLog(s, a), WriteNmeaLog(s, b));
  const std::vector<Decoded> d = Decode(WriteNmeaLog(s, a));
  ASSERT_EQ(d.size(), s.size() * 3);
  double sumSquares = 0.0;
  for (size_t i = 0; i < s.size(); ++i) {
    EXPECT_EQ(d[3 * i].result, gps::kParseFix);
    const double east = (d[3 * i].fix.longitude - 8.0) * 111195.0 * std::cos(47.01 * std::numbers::pi / 180.0);
    sumSquares += east * east;
  }
  EXPECT_NEAR(std::sqrt(sumSquares / static_cast<double>(s.size())), 5.0, 1.0);
}

TEST(Dropout, OneSecondOfEveryNIsLeftOut) {
  const std::vector<DriveSample> s = Drive("8.0 47.0 60\n8.0 47.005\n");
  NmeaOptions o;
  o.dropoutEvery = 4;
  const std::vector<Decoded> d = Decode(WriteNmeaLog(s, o));
  EXPECT_EQ(d.size(), 3 * (s.size() - s.size() / 4));
  EXPECT_EQ(d[9].fix.second - d[6].fix.second, 2);  // seconds 0, 1, 2, then 4
}

TEST(RouteFile, ItemsCommentsAndInheritedValues) {
  const Route r = MustParse(
      "# a drive\nstart 2024-02-29 23:00:00  # leap day\n\n 8 47 80 alt=600\r\n8.1 47\nstop 9\n"
      "8.2 47.1 alt=-20.5 \t\nnofix 3\n");
  EXPECT_EQ(r.startUtc, ToUtcSeconds({2024, 2, 29, 23, 0, 0}));
  ASSERT_EQ(r.waypoints.size(), 3u);
  EXPECT_EQ(r.waypoints[1].speedKmh, 80.0);
  EXPECT_EQ(r.waypoints[1].altitude, 600.0);
  EXPECT_EQ(r.waypoints[2].altitude, -20.5);
  EXPECT_EQ(r.waypoints[2].line, 7);
  ASSERT_EQ(r.events.size(), 2u);
  EXPECT_EQ(r.events[0].kind, EventKind::kStop);
  EXPECT_EQ(r.events[0].waypoint, 1u);
  EXPECT_EQ(r.events[1].kind, EventKind::kNoFix);
  EXPECT_EQ(r.events[1].seconds, 3);
  EXPECT_EQ(r.events[1].waypoint, 2u);
  EXPECT_EQ(MustParse("9 48\n").waypoints[0].speedKmh, kDefaultSpeedKmh);
}

struct BadLine {
  const char* text;
  int line;
  const char* says;
};

TEST(RouteFile, BadLinesAreReportedWithTheirNumber) {
  for (const BadLine& b : std::initializer_list<BadLine>{
           {"8 47\nstart 2024-02-30 10:00:00\n", 2, "bad start"},
           {"start 2024-01-01 10:00:00\nstart 2024-01-01 10:00:00\n8 47\n", 2, "second start"},
           {"8 47\n# fine\n8.1 47 0\n", 3, "bad speed"},
           {"8 47 fast\n", 1, "bad speed"},
           {"8 47 50 alt=high\n", 1, "bad altitude"},
           {"8 47 50 alt=1 9\n", 1, "unexpected"},
           {"8 nan\n", 1, "expected"},
           {"181 47\n", 1, "longitude"},
           {"8 -90.5\n", 1, "latitude"},
           {"8 47\nstop -1\n", 2, "seconds"},
           {"8 47\npause\n", 2, "seconds"},
           {"8 47\nnofix 2.5\n", 2, "seconds"},
           {"8 47\nwait 5\n", 2, "expected"},
           {"# nothing\n", 0, "no waypoint"},
       }) {
    Route route;
    RouteError error;
    EXPECT_FALSE(ParseRoute(b.text, route, error)) << b.text;
    EXPECT_EQ(error.line, b.line) << b.text;
    EXPECT_NE(error.message.find(b.says), std::string::npos) << b.text << " -> " << error.message;
  }
  int64_t t = 0;
  EXPECT_TRUE(ParseUtc("2099-12-31T23:59:59", t));
  EXPECT_FALSE(ParseUtc("2100-01-01 00:00:00", t));
  EXPECT_FALSE(ParseUtc("2024-1-01 00:00:00", t));
  EXPECT_FALSE(ParseUtc("2024-01-01 24:00:00", t));
}

TEST(Calendar, SecondsAndCivilTimeAgree) {
  for (int64_t t : {int64_t{0}, int64_t{951782400} /* 2000-02-29 */, int64_t{4102444799}, int64_t{1717228800}}) {
    EXPECT_EQ(ToUtcSeconds(FromUtcSeconds(t)), t);
  }
  const CivilTime leap = FromUtcSeconds(951782400);
  EXPECT_EQ(leap.month * 100 + leap.day, 229);
}

struct ProgramRun {
  int status = -1;
  std::string out;
};

ProgramRun RunProgram(const std::string& args) {
  ProgramRun run;
  if (std::FILE* p = ::popen((std::string(DRIVE_SIM_PATH) + " " + args + " 2>&1").c_str(), "r")) {
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) run.out.append(buffer, n);
    const int status = ::pclose(p);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return run;
}

TEST(Program, BadRouteLineExitsNonZeroWithItsNumber) {
  const platform::testing::TempFolder folder("drive_sim");
  const fs::path route = folder / "route";
  platform::testing::WriteFile(route, "8 47\n8.01 47\nstop soon\n");
  const ProgramRun bad = RunProgram(route.string());
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find(route.string() + ":3: stop wants"), std::string::npos) << bad.out;

  platform::testing::WriteFile(route, "start 2026-05-01 06:00:00\n8 47 50\n8.001 47\n");
  const ProgramRun good = RunProgram("--sentences rmc --start '2026-05-02 06:00:00' " + route.string());
  EXPECT_EQ(good.status, 0);
  EXPECT_EQ(good.out.rfind("$GPRMC,060000.000,A,4700.0000,N,00800.0000,E,0.00,90.0,020526,,,A*", 0), 0u) << good.out;
  EXPECT_EQ(RunProgram("--precision 9 " + route.string()).status, 2);
  EXPECT_EQ(RunProgram("--bogus 1 " + route.string()).status, 2);
  EXPECT_EQ(RunProgram("/nonexistent/route").status, 1);
}

TEST(SampleDrive, TheCommittedLogIsWhatTheRouteGives) {
  const std::string routeText = platform::testing::ReadFile(fs::path(SAMPLE_DATA_DIR) / "drive.route");
  const std::string log = platform::testing::ReadFile(fs::path(SAMPLE_DATA_DIR) / "drive.nmea");
  ASSERT_FALSE(routeText.empty() || log.empty());
  const std::vector<DriveSample> samples = Drive(routeText);
  EXPECT_TRUE(WriteNmeaLog(samples, {}) == log) << "run drive-sim on data/sample/drive.route again";
  double maxSpeed = 0.0;
  for (const DriveSample& s : samples) maxSpeed = std::max(maxSpeed, s.speedKmh);
  EXPECT_GT(maxSpeed, 100.0);
}

}  // namespace
}  // namespace drive_sim
