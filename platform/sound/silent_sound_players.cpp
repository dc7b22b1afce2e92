#include "platform/sound/silent_sound_players.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/sound/sound_file.h"

namespace platform {

namespace {

bool IsSoundFile(const std::string& path) { return SoundFile::Open(path) != nullptr; }

std::string EscapeLineBreaks(const std::string& path) {
  std::string escaped;
  for (const char c : path) {
    if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\r') {
      escaped += "\\r";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

long long MillisecondsSinceEpoch() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

bool NullSoundPlayer::Play(const std::string& linuxPath) { return IsSoundFile(linuxPath); }

RecordingSoundPlayer::RecordingSoundPlayer(std::string recordPath, SoundTrace trace)
    : recordPath_(std::move(recordPath)), trace_(std::move(trace)) {}

bool RecordingSoundPlayer::Play(const std::string& linuxPath) {
  if (!IsSoundFile(linuxPath)) return false;
  Append(std::to_string(MillisecondsSinceEpoch()) + " play " + EscapeLineBreaks(linuxPath) + "\n");
  return true;
}

// Opened for each line: O_APPEND makes every write land whole at the end, whoever else appends.
void RecordingSoundPlayer::Append(const std::string& line) const {
  const int fd = open(recordPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  const bool written = fd >= 0 && write(fd, line.data(), line.size()) == ssize_t(line.size());
  const int error = errno;
  if (fd >= 0) close(fd);
  if (!written) {
    trace_("sound: cannot append to the record file \"" + recordPath_ + "\": " + std::strerror(error));
  }
}

}  // namespace platform
