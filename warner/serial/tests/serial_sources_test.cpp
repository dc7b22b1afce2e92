#include "warner/serial/serial_sources.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "platform/errors/errors.h"
#include "platform/registry/registry.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/reports.h"
#include "warner/gps/nmea_decoder.h"
#include "warner/serial/tests/pty_fixture.h"

namespace serial {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kGga = "$GPGGA,080000.000,5000.0000,N,00800.0000,E,1,08,1.0,500.0,M,47.0,M,,*";

// What ReadGpsBytes hands out until `want` bytes came, a code other than 0 came, or 3 s passed.
struct Pulled {
  std::string bytes;
  uint32_t code = 0;
};

class Sources : public test::PtyFixture {
 protected:
  Sources() { settings_.selection.baudRate = 4800; }

  SerialSources& Make(const SourceTimings& timings = {}) {
    sources_ = std::make_unique<SerialSources>(settings_, reporter_, clock_, timings);
    return *sources_;
  }
  void UseGpsPort(const std::string& value, warner::SourceState state = warner::kGpsSourceUseGpsPort) {
    (value.back() == ':' ? settings_.gpsPort.portName : settings_.gpsPort.filePath) = value;
    settings_.gpsState = state;
  }
  Pulled Pull(size_t want, int timeoutMs = 3000) {
    Pulled pulled;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pulled.bytes.size() < want && Clock::now() < until) {
      uint8_t buffer[64];
      size_t count = 0;
      pulled.code = sources_->ReadGpsBytes(buffer, sizeof buffer, &count);
      if (pulled.code != 0) break;
      pulled.bytes.append(reinterpret_cast<const char*>(buffer), count);
      if (count == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pulled;
  }
  std::string WriteLog(const std::string& name, const std::string& content) const {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  SourceSettings settings_;
  platform::ScriptedReporter reporter_;
  platform::SystemClock clock_;
  std::unique_ptr<SerialSources> sources_;
};

std::string Sentence() {
  // The checksum of the fixed body.
  uint8_t sum = 0;
  for (char c : kGga.substr(1, kGga.size() - 2)) sum ^= static_cast<uint8_t>(c);
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", sum);
  return kGga + hex + "\r\n";
}

TEST_F(Sources, NmeaWrittenIntoThePortReachesTheDecoder) {
  UseGpsPort("COM4:");
  SerialSources& sources = Make();
  ASSERT_EQ(sources.StartSources(), 0u);
  EXPECT_TRUE(sources.ReadsGpsBytes());
  const std::string sentence = Sentence();
  pty_.Send(sentence);
  const Pulled pulled = Pull(sentence.size());
  ASSERT_EQ(pulled.code, 0u);
  ASSERT_EQ(pulled.bytes, sentence);

  platform::CriticalSection lock;
  gps::NmeaDecoder decoder(lock);
  int parsed = -99;
  for (size_t at = 0; at < pulled.bytes.size(); at += gps::NmeaDecoder::kInputSize) {
    const std::string chunk = pulled.bytes.substr(at, gps::NmeaDecoder::kInputSize);
    decoder.FeedInput({reinterpret_cast<const uint8_t*>(chunk.data()), chunk.size()});
    while (decoder.NextSentence() == gps::kFrameSentence) parsed = decoder.ParseSentence();
  }
  EXPECT_EQ(parsed, gps::kParseFix);
  EXPECT_DOUBLE_EQ(decoder.Snapshot().latitude, 50.0);

  EXPECT_EQ(sources.StopSources(), 0u);
  uint8_t buffer[64];
  size_t count = 0;
  EXPECT_EQ(sources.ReadGpsBytes(buffer, sizeof buffer, &count), platform::kErrorBufferNotSet);
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(Sources, AnOverrunThroughTheThreadIsReportedOnce) {
  UseGpsPort("COM4:");
  SerialSources& sources = Make();
  ASSERT_EQ(sources.StartSources(), 0u);
  pty_.Send(std::string(SerialRing::kSize + 1000, 'x'));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the thread takes it all into the ring
  uint8_t buffer[64];
  size_t count = 99;
  EXPECT_EQ(sources.ReadGpsBytes(buffer, sizeof buffer, &count), platform::kErrorInvalidData);
  EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidData);
  EXPECT_EQ(sources.ReadGpsBytes(buffer, sizeof buffer, &count), 0u);
  EXPECT_EQ(count, 0u);
  pty_.Send("$new");
  EXPECT_EQ(Pull(4).bytes, "$new");
}

TEST_F(Sources, AHungUpPortEndsTheThreadWith55AndStandAloneSaysSo) {
  settings_.selection.portName = "COM4:";
  SerialSources& sources = Make();
  sources.Selection().standAlone = true;
  ASSERT_EQ(sources.StartSources(), 0u);
  pty_.CloseMaster();
  const Pulled pulled = Pull(1);
  EXPECT_EQ(pulled.code, platform::kErrorDevNotExist);
  EXPECT_EQ(sources.ThreadExitCode(false), 55);
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(sources.StopSources(), 0u);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_TRUE(platform::testing::OneRecordStartingWith(reporter_, "Read from COM4: returned with\nError No 55: "));
}

TEST_F(Sources, StoppingARunningThreadIsPrompt) {
  UseGpsPort("COM4:");
  SerialSources& sources = Make();
  ASSERT_EQ(sources.StartSources(), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const Clock::time_point start = Clock::now();
  sources.StopSources();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(700)) << "one step of 500 ms at most";
  EXPECT_EQ(sources.ThreadExitCode(false), 0);
}

TEST_F(Sources, AReplayedLogArrivesAtTheReceiversPaceAndEndsWith38) {
  UseGpsPort(WriteLog("drive.gps", std::string(480, '$')));
  uint32_t slept = 0;
  SerialSources& sources = Make({{}, 100, [&](uint32_t ms) { slept += ms; }});
  ASSERT_EQ(sources.StartSources(), 0u);
  const Pulled pulled = Pull(100000, 5000);
  EXPECT_EQ(pulled.code, platform::kErrorHandleEof);
  EXPECT_EQ(pulled.bytes.size(), 480u);
  // Ten bits a byte at 4800 baud: one second (64-byte reads round down to 133 ms).
  EXPECT_GE(slept, 990u);
  EXPECT_LE(slept, 1000u);
}

TEST_F(Sources, StandAloneFileEntryReplaysTheChosenLog) {
  settings_.selection.portName = "file";
  settings_.selection.filePath = WriteLog("chosen.gps", "$GPRMC\r\n");
  settings_.selection.baudRate = 0;  // unpaced
  bool slept = false;
  SerialSources& sources = Make({{}, 100, [&](uint32_t) { slept = true; }});
  sources.Selection().standAlone = true;
  ASSERT_EQ(sources.StartSources(), 0u);
  EXPECT_EQ(Pull(100).bytes, "$GPRMC\r\n");
  EXPECT_FALSE(slept);
}

TEST_F(Sources, AMissingLogIsReported) {
  UseGpsPort((dir_ / "missing.gps").string());
  SerialSources& sources = Make();
  EXPECT_EQ(sources.StartSources(), platform::kErrorFileNotFound);
  EXPECT_TRUE(platform::testing::OneRecordStartingWith(
      reporter_, "Can't open the file '" + (dir_ / "missing.gps").string() + "'.\n"));
}

TEST_F(Sources, VirtualModeWithoutTheDriverKeyFailsWith55) {
  SerialSources& sources = Make();
  EXPECT_EQ(sources.StartSources(), platform::kErrorDevNotExist);
  EXPECT_EQ(sources.GpsSourceState(), warner::kSourceNotFound);
  EXPECT_FALSE(sources.ReadsGpsBytes());
  ASSERT_EQ(reporter_.Records().size(), 1u);
  EXPECT_EQ(reporter_.Records()[0].text,
            "Can't find any virtual Com Port for GPS.\nError No 55: " + platform::ErrorText(55));
  uint8_t buffer[64];
  size_t count = 0;
  EXPECT_EQ(sources.ReadGpsBytes(buffer, sizeof buffer, &count), platform::kErrorOpenFailed);
}

void WriteDriverKey(const char* name, int index, const char* imprint) {
  platform::RegistryKey key;
  ASSERT_EQ(platform::RegistryKey::Create(platform::Hive::kLocalMachine, std::string("Drivers\\") + name, key), 0u);
  key.SetString("Prefix", "COM");
  key.SetDword("Index", static_cast<uint32_t>(index));
  key.SetString("Imprint", imprint);
}

TEST_F(Sources, VirtualModeListensToTheDriversPort) {
  WriteDriverKey("SercastNG", 5, "Someone else");
  WriteDriverKey("sercastng", 4, "velmora GmbH, virtual port");
  SerialSources& sources = Make();
  ASSERT_EQ(sources.StartSources(), 0u);
  EXPECT_EQ(sources.GpsSourceState(), warner::kSourceVirtualPort);
  EXPECT_EQ(sources.GpsPortName(), "COM4:");
  pty_.Send("$abc");
  EXPECT_EQ(Pull(4).bytes, "$abc");
}

// On Linux nobody else sets up a machine's port that the settings name: the warner reads the
// receiver at the configured rate. The driver's virtual port keeps what its driver set. Either
// way the port is as found once the sources stop.
TEST_F(Sources, APortNamedInTheSettingsIsSetUpUnlessADriverGivesIt) {
  for (const bool driversPort : {false, true}) {
    SCOPED_TRACE(driversPort ? "driver's port" : "machine's port");
    if (driversPort) WriteDriverKey("SercastNG", 4, "Velmora GmbH");
    platform::testing::SetOddTerminal(pty_.slave(), 57600);
    const platform::testing::TerminalSnapshot found = platform::testing::SnapshotTerminal(pty_.slave());
    UseGpsPort("COM4:");
    SerialSources& sources = Make();
    ASSERT_EQ(sources.StartSources(), 0u);
    EXPECT_EQ(platform::testing::SnapshotTerminal(pty_.slave()).rate, driversPort ? 57600u : 4800u);
    sources.StopSources();
    platform::testing::ExpectSameTerminal(platform::testing::SnapshotTerminal(pty_.slave()), found);
  }
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(Sources, TheTmcSearchNeedsItsOwnDriverKey) {
  WriteDriverKey("SercastNG", 4, "Velmora GmbH");
  settings_.evaluateTmc = 2;
  SerialSources& sources = Make();
  EXPECT_EQ(sources.StartSources(), platform::kErrorDevNotExist);
  EXPECT_TRUE(platform::testing::OneRecordStartingWith(reporter_, "Can't find any virtual Com Port for TMC.\n"));
}

TEST_F(Sources, TmcFromALogFileAndWithoutASource) {
  UseGpsPort("COM4:");
  SerialSources& none = Make();
  ASSERT_EQ(none.StartSources(), 0u);
  uint8_t buffer[256];
  size_t count = 99;
  EXPECT_EQ(none.ReadTmcBytes(buffer, sizeof buffer, &count), 0u);
  EXPECT_EQ(count, 0u);
  sources_.reset();

  settings_.tmcPort.filePath = WriteLog("tmc.bin", "?123456789");
  settings_.tmcState = warner::kTmcSourceUseTmcPort;
  settings_.selection.baudRate = 0;  // unpaced: no rate a port could be set to
  UseGpsPort(WriteLog("gps.log", "$"));
  SerialSources& sources = Make();
  ASSERT_EQ(sources.StartSources(), 0u);
  ASSERT_EQ(sources.ReadTmcBytes(buffer, sizeof buffer, &count), 0u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), count), "?123456789");
  EXPECT_EQ(sources.ReadTmcBytes(buffer, sizeof buffer, &count), platform::kErrorHandleEof);
}

TEST_F(Sources, ASharedPortFollowsTheNavigationProgram) {
  UseGpsPort("COM4:", warner::kGpsSourceUseWm5GpsPort);
  SerialSources& sources = Make();
  ASSERT_EQ(sources.StartSources(), 0u);
  // Without the navigation program the port is let go and the source is not ready.
  EXPECT_EQ(Pull(1).code, platform::kErrorNotReady);
  sources.SetNavigationProgramPresent(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(2200));  // the thread's pause while it is closed
  pty_.Send("$nav");
  EXPECT_EQ(Pull(4).bytes, "$nav");
}

TEST_F(Sources, AFailedStartLeavesNothingOpen) {
  settings_.selection.portName = "COM4:";
  settings_.alternateSourceFile = (dir_ / "missing.txt").string();
  settings_.alternateSourceType = -1;
  SerialSources& sources = Make({{}, 1});
  sources.Selection().standAlone = true;
  EXPECT_EQ(sources.StartSources(), platform::kErrorBufferNotSet);
  // The port was opened and then closed again: its settings are back, and another writer may open it.
  CommPort other;
  EXPECT_EQ(OpenCommDevice("COM4:", platform::kGenericRead | platform::kGenericWrite, 0, other, 4800, 8, 0,
                           ReadOnlySetup::kKeep, reporter_),
            0u);
}

}  // namespace
}  // namespace serial
