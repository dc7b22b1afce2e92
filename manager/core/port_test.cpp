#include "manager/core/port_test.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "manager/core/nmea_summary.h"
#include "platform/bytes/little_endian.h"
#include "platform/devices/device.h"
#include "platform/devices/serial_control.h"
#include "platform/errors/errors.h"
#include "platform/text/text.h"

namespace manager {

namespace {

constexpr size_t kReceiveSize = 32;
constexpr auto kIdlePause = std::chrono::milliseconds(50);
constexpr auto kStopStep = std::chrono::milliseconds(500);
constexpr int kStopSteps = 20;  // 10 s
constexpr uint8_t kIdentifyCode[4] = {'V', 'e', 'l', '1'};
constexpr uint8_t kIdentifyInput[4] = {'1', 'V', 'e', 'l'};

// Short read time-outs, so that a port without data never keeps the thread from seeing a stop.
constexpr platform::SerialTimeouts kTestTimeouts{.readInterval = 20, .readTotalConstant = 100};

bool IsComName(std::string_view name) { return name.size() >= 3 && platform::EqualsNoCase(name.substr(0, 3), "COM"); }

}  // namespace

// What the test thread owns; shared with the thread so that one left running outlives the test.
struct PortTest::Run {
  PortTestMode mode = PortTestMode::kNone;
  PortTestSink* sink = nullptr;
  std::unique_ptr<platform::Device> port;      // with write access
  std::unique_ptr<platform::Device> listener;  // the read-only second client of a virtual port
  std::atomic<bool> stop{false};
  std::atomic<bool> ended{false};
  int shown = 0;
  SentenceAssembler assembler;
  std::string rawLine;

  void AddLine(const std::string& line) {
    if (shown >= kPortTestLines) {
      sink->RemoveFirstLine();
      --shown;
    }
    sink->AddLine(line);
    ++shown;
  }

  void Show(const uint8_t* bytes, size_t count) {
    if (stop) return;  // a test left running past its stop no longer touches the list
    for (size_t i = 0; i < count; ++i) {
      if (mode == PortTestMode::kGps) {
        if (!assembler.Feed(bytes[i])) continue;
        if (auto summary = SentenceSummary(assembler.Sentence())) AddLine(*summary);
      } else {
        if (rawLine.size() >= kRawLineLength) {
          AddLine(rawLine);
          rawLine.clear();
        }
        rawLine += static_cast<char>(bytes[i]);
      }
    }
  }

  void Loop() {
    uint8_t buffer[kReceiveSize];
    while (!stop) {
      size_t count = 0;
      bool read = port->Read(buffer, sizeof buffer, &count);
      if (listener != nullptr) {
        std::memset(buffer, 0, sizeof buffer);
        count = 0;
        read = listener->Read(buffer, sizeof buffer, &count);
      }
      if (!read || count == 0) {
        std::this_thread::sleep_for(kIdlePause);
        continue;
      }
      Show(buffer, count);
    }
    port.reset();
    listener.reset();
    ended = true;
  }
};

PortTest::PortTest(platform::Reporter& reporter, PortTestSink& sink) : reporter_(reporter), sink_(sink) {}

PortTest::~PortTest() { Stop(); }

bool PortTest::Start(PortTestMode mode, const PortTestTarget& target) {
  Stop();  // one test thread at a time
  sink_.Clear();
  caption_ = "PortData";
  auto run = std::make_shared<Run>();
  run->mode = mode;
  run->sink = &sink_;
  const char* name = target.name.c_str();
  run->port =
      platform::OpenDevice(target.name, platform::kGenericRead | platform::kGenericWrite, platform::kFileShareRead);
  if (run->port == nullptr) {
    reporter_.ErrorLastError("Can't open '%s'\n", name);
    return false;
  }
  if (target.virtualPort) {
    uint8_t answer[4] = {};
    size_t returned = 0;
    run->port->IoControl(platform::GetLe32(kIdentifyCode), kIdentifyInput, sizeof kIdentifyInput, answer, sizeof answer,
                         &returned);
  }
  const bool isFile = target.name.empty() || target.name.back() != ':';
  if (!isFile && IsComName(target.name)) {
    platform::SerialSettings settings;
    if (!platform::GetSerialSettings(*run->port, settings)) {
      reporter_.Error("Can't get the DCB from %s", name);
      return false;
    }
    settings.baudRate = target.baudRate < 1200 ? 4800 : target.baudRate;
    settings.parity = 0;
    settings.stopBits = 0;
    platform::SetSerialSettings(*run->port, settings);
  }
  if (!isFile) platform::SetSerialTimeouts(*run->port, kTestTimeouts);
  if (target.virtualPort) {
    run->listener = platform::OpenDevice(target.name, platform::kGenericRead, platform::kFileShareRead);
    if (run->listener == nullptr) {
      reporter_.ErrorLastError("Can't open '%s' as client\n", name);
      return false;
    }
  }
  caption_ = (mode == PortTestMode::kRaw ? "Raw Data from " : "GPS Data from ") + target.name;
  mode_ = mode;
  run_ = run;
  std::thread([run] { run->Loop(); }).detach();
  return true;
}

void PortTest::Stop() {
  if (run_ == nullptr) return;
  run_->stop = true;
  for (int step = 0; step < kStopSteps && !run_->ended; ++step) {
    const auto until = std::chrono::steady_clock::now() + kStopStep;
    while (!run_->ended && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(kIdlePause / 5);
  }
  run_.reset();
  mode_ = PortTestMode::kNone;
}

}  // namespace manager
