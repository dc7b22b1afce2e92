#include "platform/sound/tests/wav_files.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <vector>

namespace platform::testing {

SoundFolder::SoundFolder() {
  std::string pattern = ::testing::TempDir() + "dw_sound_XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp " << pattern;
  root_ = pattern;
}

SoundFolder::~SoundFolder() { std::filesystem::remove_all(root_); }

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
  std::ofstream(path) << content;
  return path;
}

}  // namespace platform::testing
