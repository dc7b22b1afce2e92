#include "platform/sound/sound_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors/errors.h"

namespace platform {

SoundFile::SoundFile(int fd, SNDFILE* file, const SF_INFO& info) : fd_(fd), file_(file), info_(info) {}

SoundFile::~SoundFile() {
  sf_close(file_);
  close(fd_);
}

// Opened without blocking, so that a FIFO given as a sound cannot hang the caller.
std::unique_ptr<SoundFile> SoundFile::Open(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    SetLastErrorFromErrno(errno);
    return nullptr;
  }
  struct stat status {};
  const bool statusKnown = fstat(fd, &status) == 0;
  SF_INFO info{};
  SNDFILE* file = nullptr;
  if (statusKnown && S_ISREG(status.st_mode)) file = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
  if (file == nullptr) {
    close(fd);
    // A folder is no file that exists; anything else libsndfile cannot read is no sound.
    SetLastError(statusKnown && S_ISDIR(status.st_mode) ? kErrorFileNotFound : kErrorInvalidData);
    return nullptr;
  }
  return std::unique_ptr<SoundFile>(new SoundFile(fd, file, info));
}

size_t SoundFile::ReadFrames(int16_t* samples, size_t frameCount) {
  const sf_count_t read = sf_readf_short(file_, samples, static_cast<sf_count_t>(frameCount));
  return read > 0 ? static_cast<size_t>(read) : 0;
}

}  // namespace platform
