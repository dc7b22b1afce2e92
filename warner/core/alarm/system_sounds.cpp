// The system sounds the fallbacks rely on. A fresh system root has none, and a missing fallback
// would leave an alarm silent, so the warner writes tones of its own before it starts.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "platform/bytes/little_endian.h"
#include "platform/errors/errors.h"
#include "platform/paths/paths.h"
#include "warner/core/alarm/alarm_output.h"

namespace warner {

namespace {

constexpr int kRate = 22050;

// A sine whose frequency moves from `startHz` to `endHz`, faded in and out over 5 ms so that it
// starts and stops without a click of its own.
void AppendTone(std::vector<int16_t>& samples, double seconds, double startHz, double endHz, double amplitude) {
  const auto count = static_cast<size_t>(seconds * kRate);
  const auto fade = static_cast<size_t>(0.005 * kRate);
  double phase = 0;
  for (size_t i = 0; i < count; ++i) {
    const double t = double(i) / double(count);
    phase += 2 * std::numbers::pi * (startHz + (endHz - startHz) * t) / kRate;
    double gain = amplitude;
    if (i < fade) gain *= double(i) / double(fade);
    if (count - i < fade) gain *= double(count - i) / double(fade);
    samples.push_back(static_cast<int16_t>(gain * 32767 * std::sin(phase)));
  }
}

void AppendSilence(std::vector<int16_t>& samples, double seconds) {
  samples.insert(samples.end(), static_cast<size_t>(seconds * kRate), 0);
}

std::vector<int16_t> AlarmTone() {  // two tones, twice: urgent
  std::vector<int16_t> samples;
  for (int i = 0; i < 2; ++i) {
    AppendTone(samples, 0.1, 1200, 1200, 0.6);
    AppendTone(samples, 0.1, 800, 800, 0.6);
  }
  return samples;
}

std::vector<int16_t> RisingTone() {
  std::vector<int16_t> samples;
  AppendTone(samples, 0.3, 500, 1000, 0.4);
  return samples;
}

std::vector<int16_t> FallingTone() {
  std::vector<int16_t> samples;
  AppendTone(samples, 0.3, 1000, 500, 0.4);
  return samples;
}

std::vector<int16_t> Click() {
  std::vector<int16_t> samples;
  AppendTone(samples, 0.03, 2000, 1500, 0.5);
  AppendSilence(samples, 0.02);
  return samples;
}

// A canonical 44-byte header, 16-bit mono PCM, then the samples, all little-endian.
std::string WavImage(const std::vector<int16_t>& samples) {
  const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::string bytes = "RIFF";
  platform::AppendLe32(bytes, 36 + dataBytes);
  bytes += "WAVEfmt ";
  platform::AppendLe32(bytes, 16);
  platform::AppendLe16(bytes, 1);  // PCM
  platform::AppendLe16(bytes, 1);  // mono
  platform::AppendLe32(bytes, kRate);
  platform::AppendLe32(bytes, kRate * 2);  // bytes per second
  platform::AppendLe16(bytes, 2);          // bytes per frame
  platform::AppendLe16(bytes, 16);         // bits per sample
  bytes += "data";
  platform::AppendLe32(bytes, dataBytes);
  for (const int16_t sample : samples) platform::AppendLe16(bytes, static_cast<uint16_t>(sample));
  return bytes;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

enum class Outcome { kWritten, kPresent, kFailed };

// The file appears whole or not at all, and only where nothing stood: the image goes to a
// temporary file that is then linked in place, which fails rather than replace a file that a user
// (or another warner starting at the same moment) put there meanwhile.
Outcome WriteIfMissing(const std::string& linuxPath, const std::string& image) {
  if (access(linuxPath.c_str(), F_OK) == 0) return Outcome::kPresent;
  std::string temporary = linuxPath + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    platform::SetLastErrorFromErrno(errno);
    return Outcome::kFailed;
  }
  const bool written = WriteAll(fd, image) && fsync(fd) == 0;
  const int writeErrno = errno;
  close(fd);
  Outcome outcome = Outcome::kWritten;
  if (!written) {
    platform::SetLastErrorFromErrno(writeErrno);
    outcome = Outcome::kFailed;
  } else if (link(temporary.c_str(), linuxPath.c_str()) != 0) {
    if (errno == EEXIST) {
      outcome = Outcome::kPresent;
    } else {
      platform::SetLastErrorFromErrno(errno);
      outcome = Outcome::kFailed;
    }
  }
  unlink(temporary.c_str());
  return outcome;
}

}  // namespace

int EnsureSystemSounds() {
  struct SystemSound {
    const char* path;
    std::vector<int16_t> (*make)();
  };
  static constexpr SystemSound kSounds[] = {
      {kAlarmSound, AlarmTone}, {kInfoBeginSound, RisingTone}, {kInfoEndSound, FallingTone}, {kMenuPopSound, Click}};

  if (!platform::CreateFolders(platform::FolderPart(kAlarmSound))) return -1;
  int written = 0;
  for (const SystemSound& sound : kSounds) {
    switch (WriteIfMissing(platform::ToLinuxPath(sound.path), WavImage(sound.make()))) {
      case Outcome::kWritten: ++written; break;
      case Outcome::kPresent: break;
      case Outcome::kFailed: return -1;
    }
  }
  return written;
}

}  // namespace warner
