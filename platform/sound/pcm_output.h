#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

struct PcmFormat {
  int rate = 0;      // frames per second
  int channels = 0;  // samples per frame, interleaved
};

// Where the audio thread sends decoded samples: the sound device, or a stand-in in tests. Open,
// then Write as often as needed, then Drain (let it finish) or Drop (cut it), then Close. The
// methods returning a text return "" on success, else why the device failed.
class PcmOutput {
 public:
  virtual ~PcmOutput() = default;
  virtual std::string Open(const PcmFormat& format) = 0;
  // Blocks only while the device's buffer is full, which holds a few tens of milliseconds.
  virtual std::string Write(const int16_t* samples, size_t frameCount) = 0;
  virtual void Drop() = 0;
  virtual void Drain() = 0;
  virtual void Close() = 0;
};

// The ALSA "default" playback device (under PulseAudio or PipeWire, their ALSA plug-in).
std::unique_ptr<PcmOutput> CreateAlsaPcmOutput();

}  // namespace platform
