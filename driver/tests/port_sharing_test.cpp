// One receiver, many programs: the port driver hosted by the device manager, its input a
// pseudo-terminal, read at the same time by portcat runs with and without write access, by gpsd
// on a read-only tap and by the warner.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "driver/registry/driver_keys.h"
#include "platform/devices/device.h"
#include "platform/devices/device_manager.h"
#include "platform/devices/serial_control.h"
#include "platform/errors/errors.h"
#include "platform/testing/child_process.h"
#include "platform/testing/pty.h"
#include "platform/testing/system_root.h"
#include "warner/headless/tests/sample_warner.h"

namespace {

namespace fs = std::filesystem;
using platform::testing::ChildProcess;
using Clock = std::chrono::steady_clock;

constexpr char kWarmUp[] = "$WARM*00\r\n";

// The first `count` lines of the sample drive, as a receiver sends them.
std::string DriveLines(size_t count) {
  std::ifstream drive(SAMPLE_DATA_DIR "/drive.nmea");
  std::string lines, line;
  for (size_t i = 0; i < count && std::getline(drive, line); ++i) lines += line + "\r\n";
  return lines;
}

class PortSharingTest : public platform::testing::SystemRootTest {
 protected:
  void SetUp() override {
    input_.MakeRaw();
    platform::testing::MapPort("COM3:", input_.slavePath());
    ASSERT_EQ(driver::WriteDriverKey("Drivers\\SercastNG", driver::MakeDriverKeyValues("SercastNG", "COM3:", 3, "", 6)),
              0u);
    std::string message;
    ASSERT_EQ(platform::ActivateDevice("Drivers\\SercastNG", &message).value_or(message), "COM6:");
  }
  void TearDown() override { platform::StopDeviceManager(); }

  std::unique_ptr<ChildProcess> Portcat(std::vector<std::string> args) {
    args.emplace_back("COM6:");
    return std::make_unique<ChildProcess>(PORTCAT_PROGRAM, args, system_.Folder() / "portcat.err");
  }

  // Sends a warm-up line until every run has printed it, so that all of them read the port before
  // the bytes a test checks begin.
  void WarmUp(const std::vector<std::unique_ptr<ChildProcess>>& runs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
    for (const auto& run : runs) {
      while (!run->WaitForText(kWarmUp, 50) && Clock::now() < deadline) input_.Send(kWarmUp);
    }
  }

  std::string ReadOnlyTap() {
    for (const auto& device : platform::ListDevices().value_or(std::vector<platform::ActiveDevice>{})) {
      for (const auto& link : device.links) {
        if (link.ends_with("COM6-ro0")) return link;
      }
    }
    return {};
  }

  // As a navigation program opens the port: its reads return as soon as a byte came, or with
  // nothing after firstByteMs.
  static std::unique_ptr<platform::Device> OpenWriter(uint32_t firstByteMs) {
    auto writer = platform::OpenDevice("COM6:", platform::kGenericRead | platform::kGenericWrite, 0);
    const platform::SerialTimeouts timeouts{0xFFFFFFFFu, 0xFFFFFFFFu, firstByteMs, 0, 0};
    if (writer &&
        !writer->IoControl(platform::kIoctlSerialSetTimeouts, &timeouts, sizeof timeouts, nullptr, 0, nullptr))
      writer.reset();
    return writer;
  }

  platform::testing::Pty input_;
};

// Every program gets every byte written after it began to read, exactly, the listeners as well
// as the one whose reads pull the input.
TEST_F(PortSharingTest, OneWriterAndThreeListenersReceiveExactlyTheBytesWritten) {
  std::vector<std::unique_ptr<ChildProcess>> runs;
  runs.push_back(Portcat({"--write"}));
  for (int i = 0; i < 3; ++i) runs.push_back(Portcat({}));
  WarmUp(runs);
  const std::string stream = DriveLines(300) + std::string("\0\xff\x1b binary", 10);
  input_.Send(stream);
  for (const auto& run : runs) {
    ASSERT_TRUE(run->WaitForText(stream, 10000)) << run->output.size();
    const std::string& seen = run->output;
    EXPECT_TRUE(seen.ends_with(stream));
    const std::string before = seen.substr(0, seen.size() - stream.size());
    EXPECT_EQ(before.find_first_not_of(kWarmUp), std::string::npos) << "only warm-up lines before the stream";
    run->Signal(SIGTERM);
    EXPECT_EQ(run->Finish(), 0);
  }
}

// A navigation program's read with a time-out stays asked in the daemon after its caller got
// nothing: the input reaches the listeners between the program's reads and comes with its next
// read, and the program's other requests are not held up meanwhile.
TEST_F(PortSharingTest, AWritersTimedReadKeepsTheInputFlowingBetweenItsReads) {
  using namespace std::chrono_literals;
  auto writer = OpenWriter(100);
  auto listener = platform::OpenDevice("COM6:", platform::kGenericRead, 0);
  ASSERT_TRUE(writer && listener);
  char buffer[512];
  size_t count = 1;
  for (int round = 0; round < 2; ++round) {
    const Clock::time_point asked = Clock::now();
    ASSERT_TRUE(writer->Read(buffer, sizeof buffer, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_GE(Clock::now() - asked, 90ms);
    EXPECT_LT(Clock::now() - asked, 1s);
    if (round == 0) {
      ASSERT_TRUE(writer->Write("$PQ\r\n", 5, &count));
      EXPECT_LT(Clock::now() - asked, 2s) << "the write waited for the read";
    }
  }
  const std::string line = DriveLines(1);
  input_.Send(line);
  std::string heard;
  for (int reads = 0; reads < 5 && heard.size() < line.size(); ++reads) {
    ASSERT_TRUE(listener->Read(buffer, sizeof buffer, &count));
    heard.append(buffer, count);
  }
  EXPECT_EQ(heard, line);
  ASSERT_TRUE(writer->Read(buffer, sizeof buffer, &count));
  EXPECT_EQ(std::string(buffer, count), line);
}

// A listener that stops reading is not hung up on and holds nobody up: what it has no room for
// stays in the ring, which overtakes it; it hears of the loss once, then gets the newest input.
TEST_F(PortSharingTest, AListenerThatStopsReadingHearsOfTheLossOnceAndGoesOn) {
  using namespace std::chrono_literals;
  auto writer = OpenWriter(50);
  auto listener = platform::OpenDevice("COM6:", platform::kGenericRead, 0);
  ASSERT_TRUE(writer && listener);
  std::atomic<size_t> pulled{0};
  std::atomic<bool> stop{false};
  std::thread pull([&] {
    char bytes[4096];
    size_t n = 0;
    while (!stop) {
      if (writer->Read(bytes, sizeof bytes, &n)) pulled += n;
    }
  });
  std::vector<char> buffer(65536);
  size_t count = 0;
  ASSERT_TRUE(listener->Read(buffer.data(), buffer.size(), &count));  // its read stands from here on
  std::string stream;
  while (stream.size() < (1u << 20)) stream += DriveLines(300);
  input_.Send(stream);
  for (const Clock::time_point until = Clock::now() + 20s; pulled < stream.size() && Clock::now() < until;) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(pulled, stream.size()) << "the writer was held up";

  std::string heard;
  int losses = 0;
  const auto drain = [&] {
    while (listener->Read(buffer.data(), buffer.size(), &count)) {
      if (count > 0) {
        heard.append(buffer.data(), count);
      } else if (platform::GetLastError() == platform::kErrorInvalidData) {
        ++losses;
      } else {
        return true;  // a second without input
      }
    }
    return false;
  };
  ASSERT_TRUE(drain()) << platform::GetLastError();
  EXPECT_EQ(losses, 1);
  EXPECT_LT(heard.size(), stream.size());
  const std::string newest = "$GPTXT,01,01,02,NEWEST*00\r\n";
  input_.Send(newest);
  heard.clear();
  ASSERT_TRUE(drain());
  EXPECT_EQ(heard, newest);
  EXPECT_EQ(losses, 1);
  stop = true;
  pull.join();
}

// A local TCP port nobody listens on now.
int FreeTcpPort() {
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  const bool bound = ::bind(probe, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                     ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0;
  ::close(probe);
  return bound ? ntohs(address.sin_port) : -1;
}

int ConnectWithRetries(int port) {
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < deadline) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return -1;
}

// The number after `"key":` in a JSON report, or NaN.
double JsonNumber(const std::string& report, const std::string& key) {
  const size_t at = report.find("\"" + key + "\":");
  return at == std::string::npos ? NAN : std::strtod(report.c_str() + at + key.size() + 3, nullptr);
}

// Degrees from an NMEA "ddmm.mmmm" field.
double Degrees(const std::string& field, int degreeDigits) {
  return std::stod(field.substr(0, degreeDigits)) + std::stod(field.substr(degreeDigits)) / 60.0;
}

// True when one of the GGA or RMC sentences in `lines` gives this position (north and east).
bool SentFix(const std::string& lines, double lat, double lon) {
  std::istringstream in(lines);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream parts(line);
    for (std::string field; std::getline(parts, field, ',');) fields.push_back(field);
    const size_t at = fields.empty() ? 0 : fields[0] == "$GPGGA" ? 2 : fields[0] == "$GPRMC" ? 3 : 0;
    if (at == 0 || fields.size() < at + 3) continue;
    if (std::fabs(Degrees(fields[at], 2) - lat) < 1e-6 && std::fabs(Degrees(fields[at + 2], 3) - lon) < 1e-6)
      return true;
  }
  return false;
}

// gpsd, an unmodified program, reads a read-only tap while portcat listens on the port itself:
// both get the same sentences, and gpsd reports the fixes they carry.
TEST_F(PortSharingTest, GpsdOnAReadOnlyTapReportsTheFixesPortcatSees) {
  const fs::path gpsd = fs::exists("/usr/sbin/gpsd") ? "/usr/sbin/gpsd" : "/usr/bin/gpsd";
  if (!fs::exists(gpsd)) GTEST_SKIP() << "gpsd is not installed";
  const std::string tap = ReadOnlyTap();
  ASSERT_FALSE(tap.empty());
  const int port = FreeTcpPort();
  ASSERT_GT(port, 0);
  ChildProcess daemon(gpsd, {"-N", "-n", "-b", "-S", std::to_string(port), tap});
  std::vector<std::unique_ptr<ChildProcess>> runs;
  runs.push_back(Portcat({"--write"}));
  runs.push_back(Portcat({}));
  WarmUp(runs);
  const int watch = ConnectWithRetries(port);
  ASSERT_GE(watch, 0);
  const std::string request = "?WATCH={\"enable\":true,\"json\":true};";
  ASSERT_EQ(::send(watch, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));

  // Fixes at a second's pace in receiver time, sent quickly; gpsd reports one per cycle.
  const std::string drive = DriveLines(60);
  std::string reports;
  size_t sent = 0;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
  double lat = NAN, lon = NAN;
  while (std::isnan(lat) && Clock::now() < deadline) {
    const size_t lineEnd = drive.find('\n', sent);
    if (lineEnd != std::string::npos) {
      input_.Send(drive.substr(sent, lineEnd + 1 - sent));
      sent = lineEnd + 1;
    }
    pollfd entry{watch, POLLIN, 0};
    char buffer[4096];
    if (::poll(&entry, 1, 30) > 0) {
      const ssize_t n = ::recv(watch, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      reports.append(buffer, static_cast<size_t>(n));
    }
    for (size_t at = 0; (at = reports.find("{\"class\":\"TPV\"", at)) != std::string::npos; ++at) {
      const std::string report = reports.substr(at, reports.find('\n', at) - at);
      if (!std::isnan(JsonNumber(report, "lat"))) {
        lat = JsonNumber(report, "lat");
        lon = JsonNumber(report, "lon");
      }
    }
  }
  ::close(watch);
  ASSERT_FALSE(std::isnan(lat)) << reports;
  EXPECT_TRUE(SentFix(drive.substr(0, sent), lat, lon)) << lat << " " << lon;
  ASSERT_TRUE(runs[1]->WaitForText(drive.substr(0, sent), 5000)) << "portcat saw what gpsd read";
}

// The warner listens on the virtual port, found by its search for the driver's ports or named by
// UseGPSPort, while another program (here portcat with write access, as a navigation program) keeps the input flowing.
TEST_F(PortSharingTest, TheWarnerWarnsFromTheVirtualPort) {
  const platform::testing::ScopedEnv sound("DW_SOUND", "null");
  std::vector<std::unique_ptr<ChildProcess>> runs;
  runs.push_back(Portcat({"--write"}));
  WarmUp(runs);
  for (const std::string setting : {"UseGPSPort = COM6:\n", ""}) {
    const fs::path folder = system_.Folder() / ("waypost" + std::to_string(setting.size()));
    warner::test::CopySampleWarner(folder);
    std::ofstream(folder / "SntGlobals.ini", std::ios::app) << setting;
    ChildProcess warner(WAYPOST_PROGRAM, {"--run", "--json", "--folder", folder.string()});
    std::ifstream drive(SAMPLE_DATA_DIR "/drive.nmea", std::ios::binary);
    char block[1024];
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
    while (!warner.WaitForText("\"event\":\"announce\"", 20) && Clock::now() < deadline) {
      runs[0]->Drain();
      if (drive.read(block, sizeof block) || drive.gcount() > 0) {
        input_.Send(std::string(block, static_cast<size_t>(drive.gcount())));
      }
    }
    EXPECT_NE(warner.output.find("\"text\":\"Camera\""), std::string::npos) << setting << warner.output;
    warner.Signal(SIGTERM);
    EXPECT_EQ(warner.Finish(), 0) << setting;
  }
}

}  // namespace
