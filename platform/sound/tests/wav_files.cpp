#include "platform/sound/tests/wav_files.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "platform/testing/files.h"

namespace platform::testing {

std::string SoundFolder::Sine(const std::string& name, double seconds, int rate, int channels) const {
  std::string path = Path(name);
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    ADD_FAILURE() << "cannot write " << path << ": " << sf_strerror(nullptr);
    return path;
  }
  const auto frames = static_cast<size_t>(seconds * rate);
  std::vector<short> samples(frames * static_cast<size_t>(channels));
  for (size_t i = 0; i < samples.size(); ++i) {
    const size_t frame = i / static_cast<size_t>(channels);
    const double t = double(frame) / rate;
    samples[i] = static_cast<short>(8000 * std::sin(2 * std::numbers::pi * 440 * t));
  }
  sf_writef_short(file, samples.data(), static_cast<sf_count_t>(frames));
  sf_close(file);
  return path;
}

std::string SoundFolder::Text(const std::string& name, const std::string& content) const {
  std::string path = Path(name);
  WriteFile(path, content);
  return path;
}

}  // namespace platform::testing
