#pragma once

#include <sndfile.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// An open sound file of any format libsndfile reads, decoded to 16-bit interleaved samples.
class SoundFile {
 public:
  // Nothing, with the last error set, when the file is missing or not a sound it can decode.
  static std::unique_ptr<SoundFile> Open(const std::string& path);
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;
  ~SoundFile();

  int Rate() const { return info_.samplerate; }
  int Channels() const { return info_.channels; }
  // Reads up to frameCount frames into samples (frameCount * Channels() values); 0 at the end.
  size_t ReadFrames(int16_t* samples, size_t frameCount);

 private:
  SoundFile(int fd, SNDFILE* file, const SF_INFO& info);

  int fd_;
  SNDFILE* file_;
  SF_INFO info_;
};

}  // namespace platform
