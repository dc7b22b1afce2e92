#include <alsa/asoundlib.h>

#include <mutex>

#include "platform/sound/pcm_output.h"

namespace platform {

namespace {

// Short enough that Drain, which cannot be cut, returns within a few tens of milliseconds.
constexpr unsigned kLatencyUs = 50'000;
constexpr char kDevice[] = "default";

// ALSA prints its own complaints (no card, say) to stderr; our trace already says what failed.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

std::string Describe(const char* step, int error) {
  return std::string("sound: ALSA device \"") + kDevice + "\": " + step + ": " + snd_strerror(error);
}

// Plays through ALSA's "default" device, opened anew for each sound since formats differ.
class AlsaPcmOutput final : public PcmOutput {
 public:
  AlsaPcmOutput() {
    static std::once_flag quieted;
    std::call_once(quieted, [] { snd_lib_error_set_handler(QuietAlsaErrors); });
  }
  ~AlsaPcmOutput() override { Close(); }

  std::string Open(const PcmFormat& format) override {
    int rc = snd_pcm_open(&pcm_, kDevice, SND_PCM_STREAM_PLAYBACK, 0);
    if (rc < 0) {
      pcm_ = nullptr;
      return Describe("cannot open", rc);
    }
    rc = snd_pcm_set_params(pcm_, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                            static_cast<unsigned>(format.channels), static_cast<unsigned>(format.rate), 1, kLatencyUs);
    if (rc < 0) {
      Close();
      return Describe("cannot set the format", rc);
    }
    channels_ = static_cast<size_t>(format.channels);
    return {};
  }

  std::string Write(const int16_t* samples, size_t frameCount) override {
    while (frameCount > 0) {
      snd_pcm_sframes_t written = snd_pcm_writei(pcm_, samples, frameCount);
      if (written < 0) {
        // An underrun (the thread was late) or a suspend: recover and write on.
        const int rc = snd_pcm_recover(pcm_, static_cast<int>(written), 1);
        if (rc < 0) return Describe("cannot write", rc);
        continue;
      }
      samples += static_cast<size_t>(written) * channels_;
      frameCount -= static_cast<size_t>(written);
    }
    return {};
  }

  void Drop() override { snd_pcm_drop(pcm_); }
  void Drain() override { snd_pcm_drain(pcm_); }

  void Close() override {
    if (pcm_ != nullptr) snd_pcm_close(pcm_);
    pcm_ = nullptr;
  }

 private:
  snd_pcm_t* pcm_ = nullptr;
  size_t channels_ = 0;
};

}  // namespace

std::unique_ptr<PcmOutput> CreateAlsaPcmOutput() { return std::make_unique<AlsaPcmOutput>(); }

}  // namespace platform
