#include "platform/stream_driver/port_taps.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

#include "platform/devices/device.h"
#include "platform/devices/serial_control.h"
#include "platform/errors/errors.h"
#include "platform/port_taps/pseudo_terminal.h"

namespace platform {

namespace {

using port_taps_detail::PseudoTerminal;
using port_taps_detail::Wake;

constexpr uint32_t kChunk = 4096;
constexpr uint32_t kInputWaitMs = 200;
// A writer's read has already waited for the input device; this only keeps an input that answers
// at once with nothing (a file at its end, a device gone) from being asked without a pause.
constexpr int kWriterPauseMs = 50;
constexpr int kTerminalFullMs = 200;
constexpr int kOpenRetryMs = 500;
// Reads return as soon as bytes are there and wait at most 100 ms for the first one.
constexpr SerialTimeouts kTapTimeouts{0xFFFFFFFFu, 0xFFFFFFFFu, 100, 0, 0};

// One serial request through the tap's client: true when the port took it and, for a request that
// answers, gave back a whole block.
template <typename Block>
bool Control(StreamDevice& device, uint32_t client, uint32_t code, const Block* in, Block* out) {
  uint8_t inBytes[sizeof(Block)] = {};
  uint8_t outBytes[sizeof(Block)] = {};
  if (in != nullptr) std::memcpy(inBytes, in, sizeof(Block));
  uint32_t returned = 0;
  uint32_t error = 0;
  const bool done = device.IoControl(client, code, in ? inBytes : nullptr, in ? sizeof(Block) : 0,
                                     out ? outBytes : nullptr, out ? sizeof(Block) : 0, &returned, &error);
  if (!done || (out != nullptr && returned != sizeof(Block))) return false;
  if (out != nullptr) std::memcpy(out, outBytes, sizeof(Block));
  return true;
}

// One tap: a thread that serves the programs of one terminal, one after the other, each through a
// client of the port of its own.
class Tap {
 public:
  Tap(StreamDevice& device, bool readWrite, const TapInputSettings& input, std::unique_ptr<PseudoTerminal> terminal)
      : device_(device), readWrite_(readWrite), input_(input), terminal_(std::move(terminal)), thread_([this] {
          Run();
        }) {}
  ~Tap() { thread_.join(); }  // after the stop was asked
  Tap(const Tap&) = delete;
  Tap& operator=(const Tap&) = delete;

  const std::string& LinkPath() const { return terminal_->LinkPath(); }

 private:
  void Run() {
    while (terminal_->AwaitProgram()) {
      if (const uint32_t client = OpenClient()) {
        Pump(client);
        device_.Close(client);
      }
      behind_ = false;
      terminal_->Reset();
    }
  }

  // 0 when the program left or a stop was asked before the port let the tap in (all clients in
  // use, the input device missing: the program waits for a later try).
  uint32_t OpenClient() {
    const uint32_t access = kGenericRead | (readWrite_ ? kGenericWrite : 0);
    for (;;) {
      uint32_t error = 0;
      if (const uint32_t client = device_.Open(access, kFileShareRead | kFileShareWrite, &error)) {
        if (readWrite_) SetUpInput(client);
        return client;
      }
      if (terminal_->Wait(0, kOpenRetryMs) != Wake::kTimeout) return 0;
    }
  }

  // The programs' terminal settings stay on the pseudo-terminal; the input device gets the tap's.
  void SetUpInput(uint32_t client) {
    SerialSettings settings;
    if (!Control<SerialSettings>(device_, client, kIoctlSerialGetDcb, nullptr, &settings)) settings = {};
    settings.baudRate = input_.baudRate;
    settings.byteSize = input_.byteSize;
    settings.parity = input_.parity;
    settings.stopBits = input_.stopBits;
    Control<SerialSettings>(device_, client, kIoctlSerialSetDcb, &settings, nullptr);
    Control<SerialTimeouts>(device_, client, kIoctlSerialSetTimeouts, &kTapTimeouts, nullptr);
  }

  void Pump(uint32_t client) {
    uint8_t buffer[kChunk];
    for (;;) {
      // What the program wrote goes on before its leaving is taken for final.
      const Wake wake = terminal_->Wait(POLLIN, 0);
      if (wake == Wake::kStop || wake == Wake::kLeft) return;
      if (wake == Wake::kReady) {
        if (!PassOn(client, buffer)) return;
        continue;
      }
      const uint64_t seen = device_.InputSequence();
      uint32_t error = 0;
      const int64_t count = device_.Read(client, buffer, kChunk, &error);
      if (count > 0) {
        if (!Deliver(buffer, static_cast<size_t>(count))) return;
      } else if (error != kErrorInvalidData && !Idle(seen)) {  // an overtaken client reads on at once
        return;
      }
    }
  }

  // A read-only tap swallows what its program writes, so a program that talks to its receiver
  // is not blocked on a full terminal.
  bool PassOn(uint32_t client, uint8_t* buffer) {
    const ssize_t count = terminal_->Read(buffer, kChunk);
    if (count <= 0) return count < 0 && errno == EAGAIN;
    uint32_t error = 0;
    if (readWrite_) device_.Write(client, buffer, static_cast<uint32_t>(count), &error);
    return true;
  }

  bool Idle(uint64_t seen) {
    if (readWrite_) {
      const Wake wake = terminal_->Wait(POLLIN, kWriterPauseMs);
      return wake != Wake::kStop && wake != Wake::kLeft;
    }
    device_.WaitForInput(seen, kInputWaitMs);
    return true;
  }

  // A listener waits for its program as long as it takes; the port overtakes it meanwhile. A
  // writer pulls the input for every client of the port, so it waits only a little: when its
  // program does not read, the writer drops what the terminal does not take, as the port drops
  // for a slow listener, and the program goes on with newer data.
  bool Deliver(const uint8_t* data, size_t size) {
    while (size > 0) {
      const ssize_t count = terminal_->Write(data, size);
      if (count > 0) {
        data += count;
        size -= static_cast<size_t>(count);
        continue;
      }
      if (count < 0 && errno != EAGAIN && errno != EINTR) return false;
      const Wake wake = terminal_->Wait(POLLOUT, readWrite_ && behind_ ? 0 : kTerminalFullMs);
      if (wake == Wake::kStop || wake == Wake::kLeft) return false;
      if (wake == Wake::kTimeout && readWrite_) {
        behind_ = true;
        return true;
      }
    }
    behind_ = false;
    return true;
  }

  StreamDevice& device_;
  const bool readWrite_;
  const TapInputSettings input_;
  const std::unique_ptr<PseudoTerminal> terminal_;
  bool behind_ = false;  // a writer whose program stopped reading: drop without waiting
  std::thread thread_;
};

std::string LinkBase(const std::string& portName) {
  std::string base;
  for (const char c : portName) {
    if (c != ':') base += c;
  }
  return base;
}

}  // namespace

struct PortTaps::Impl {
  int stop[2] = {-1, -1};  // the read end becomes readable when the taps are to stop
  std::vector<std::unique_ptr<Tap>> taps;
};

PortTaps::PortTaps(StreamDevice& device, const std::string& portName, TapCounts counts, const TapInputSettings& input,
                   const std::string& linkFolder)
    : impl_(std::make_unique<Impl>()) {
  if (pipe2(impl_->stop, O_CLOEXEC) != 0) {
    SetLastErrorFromErrno(errno);
    return;
  }
  const std::string base = linkFolder + "/" + LinkBase(portName);
  uint32_t lastError = kErrorSuccess;
  auto add = [&](bool readWrite, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
      const std::string link = base + (readWrite ? "-rw" : "-ro") + std::to_string(i);
      auto terminal = PseudoTerminal::Create(link, impl_->stop[0]);
      if (!terminal) {
        lastError = GetLastError();
        continue;
      }
      impl_->taps.push_back(std::make_unique<Tap>(device, readWrite, input, std::move(terminal)));
    }
  };
  add(true, counts.readWrite);
  add(false, counts.readOnly);
  if (lastError != kErrorSuccess) SetLastError(lastError);
}

PortTaps::~PortTaps() {
  if (impl_->stop[1] >= 0) {
    const char stop = 1;
    while (write(impl_->stop[1], &stop, 1) < 0 && errno == EINTR) {
    }
  }
  impl_->taps.clear();
  for (const int fd : impl_->stop) {
    if (fd >= 0) close(fd);
  }
}

std::vector<std::string> PortTaps::Links() const {
  std::vector<std::string> links;
  for (const auto& tap : impl_->taps) links.push_back(tap->LinkPath());
  return links;
}

}  // namespace platform
