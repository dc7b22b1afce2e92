// portcat: copies what a port, a virtual port or a file delivers to standard output, exactly as a
// program that opens it receives it, so a port can be watched from a shell.

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/devices/device.h"
#include "platform/devices/serial_control.h"
#include "platform/errors/errors.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kUsage =
    "Usage: portcat [--write] [--seconds S] [--bytes N] PORT\n"
    "Copies what PORT delivers to standard output as it comes, unchanged. PORT is a port name\n"
    "(\"COM6:\", a virtual port or one of the port map), a Linux device with ':' appended\n"
    "(\"/dev/ttyUSB0:\") or a file, which is copied to its end.\n"
    "Options:\n"
    "  --write      open the port with write access: on a virtual port this reader pulls the\n"
    "               input for every client (without it, it only listens)\n"
    "  --seconds S  stop after S seconds (a decimal number)\n"
    "  --bytes N    stop after N bytes\n"
    "  -h, --help   this text\n"
    "SIGINT and SIGTERM end the copy as well.\n"
    "Exit status: 0 done, 1 the port could not be opened or read or the output not written,\n"
    "2 wrong command line.\n";

// Reads return as soon as bytes are there and wait at most 100 ms for the first one, so limits and
// signals are seen promptly.
constexpr platform::SerialTimeouts kTimeouts{0xFFFFFFFFu, 0xFFFFFFFFu, 100, 0, 0};
constexpr auto kEmptyReadPause = std::chrono::milliseconds(20);

volatile sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

struct Options {
  bool write = false;
  std::optional<double> seconds;
  std::optional<uint64_t> bytes;
  const char* port = nullptr;
};

bool ParseNumber(const char* text, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && errno == 0 && value >= 0 && value < 1e12;
}

// Returns false with a message on a bad command line; sets wantHelp for -h.
bool ParseOptions(int argc, char** argv, Options& options, bool& wantHelp) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    double value = 0;
    if (arg == "-h" || arg == "--help") {
      wantHelp = true;
    } else if (arg == "--write") {
      options.write = true;
    } else if ((arg == "--seconds" || arg == "--bytes") && i + 1 < argc) {
      if (!ParseNumber(argv[++i], value) || (arg == "--bytes" && value != static_cast<double>(uint64_t(value)))) {
        std::fprintf(stderr, "portcat: %s needs a number, not '%s'\n", argv[i - 1], argv[i]);
        return false;
      }
      if (arg == "--seconds") {
        options.seconds = value;
      } else {
        options.bytes = static_cast<uint64_t>(value);
      }
    } else if ((arg.size() > 1 && arg[0] == '-') || options.port != nullptr) {
      std::fprintf(stderr, "portcat: unexpected argument '%s'\n", argv[i]);
      return false;
    } else {
      options.port = argv[i];
    }
  }
  if (options.port == nullptr && !wantHelp) std::fputs("portcat: which port?\n", stderr);
  return options.port != nullptr || wantHelp;
}

int Fail(const char* what, const char* port, uint32_t error) {
  std::fprintf(stderr, "portcat: %s '%s': Error No %u: %s\n", what, port, error, platform::ErrorText(error).c_str());
  return 1;
}

// A port answers the time-out requests and a file does not; a file's end is the end of the copy.
// A writer sets time-outs that return what is there. A listener leaves the time-outs of a port it
// shares alone, unless its own reads would wait for a full buffer (a serial port's handle starts
// so), which no limit or signal could cut short. False with the last error when a port refuses.
bool SetUpReads(platform::Device& device, bool writer, bool& isPort) {
  platform::SerialTimeouts current;
  size_t returned = 0;
  isPort = device.IoControl(platform::kIoctlSerialGetTimeouts, nullptr, 0, &current, sizeof current, &returned) ||
           platform::GetLastError() != platform::kErrorNotSupported;
  const bool waitsForFullBuffer = returned == sizeof current && current.readInterval == 0 &&
                                  current.readTotalMultiplier == 0 && current.readTotalConstant == 0;
  if (!isPort || (!writer && !waitsForFullBuffer)) return true;
  return platform::SetSerialTimeouts(device, kTimeouts) || platform::GetLastError() == platform::kErrorNotSupported;
}

bool WriteAll(const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(STDOUT_FILENO, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

int Copy(platform::Device& device, const Options& options, bool isPort) {
  const std::optional<Clock::time_point> deadline =
      options.seconds
          ? std::optional(Clock::now() +
                          std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*options.seconds)))
          : std::nullopt;
  uint64_t copied = 0;
  uint8_t buffer[4096];
  while (!stopRequested && (!options.bytes || copied < *options.bytes) && (!deadline || Clock::now() < *deadline)) {
    const size_t want = options.bytes ? std::min<uint64_t>(sizeof buffer, *options.bytes - copied) : sizeof buffer;
    size_t got = 0;
    if (!device.Read(buffer, want, &got)) {
      const uint32_t error = platform::GetLastError();
      if (error == platform::kErrorInvalidData) {
        std::fputs("portcat: bytes lost: this reader fell behind the port\n", stderr);
        continue;
      }
      // A listener of a virtual port while no reader with write access pulls the input.
      if (error != platform::kErrorNotReady) return Fail("cannot read", options.port, error);
    }
    if (got == 0) {
      if (!isPort) break;
      std::this_thread::sleep_for(kEmptyReadPause);
      continue;
    }
    if (!WriteAll(buffer, got)) {
      std::fprintf(stderr, "portcat: cannot write standard output: %s\n", std::strerror(errno));
      return 1;
    }
    copied += got;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bool wantHelp = false;
  if (!ParseOptions(argc, argv, options, wantHelp)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (wantHelp) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  struct sigaction action = {};
  action.sa_handler = RequestStop;  // no SA_RESTART: a pause ends at once
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  const uint32_t access = platform::kGenericRead | (options.write ? platform::kGenericWrite : 0);
  auto device = platform::OpenDevice(options.port, access, platform::kFileShareRead | platform::kFileShareWrite);
  if (!device) return Fail("cannot open", options.port, platform::GetLastError());
  bool isPort = false;
  if (!SetUpReads(*device, options.write, isPort)) {
    return Fail("cannot set the time-outs of", options.port, platform::GetLastError());
  }
  return Copy(*device, options, isPort);
}
