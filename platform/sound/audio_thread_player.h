#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/sound/pcm_output.h"
#include "platform/sound/sound_player.h"

namespace platform {

class SoundFile;

// Plays one sound at a time on an audio thread of its own. The file is opened and checked on the
// caller's thread, so Play fails at once for a bad file; the audio thread then decodes it in
// chunks of 10 ms and looks for a newer request between chunks, so a new sound or Stop() cuts the
// playing one within a few tens of milliseconds. Device failures are traced, never fatal, and the
// same failure is traced once until the device works again.
class AudioThreadPlayer final : public SoundPlayer {
 public:
  AudioThreadPlayer(std::unique_ptr<PcmOutput> output, SoundTrace trace);
  AudioThreadPlayer(const AudioThreadPlayer&) = delete;
  AudioThreadPlayer& operator=(const AudioThreadPlayer&) = delete;
  ~AudioThreadPlayer() override;

  bool Play(const std::string& linuxPath) override;
  void Stop() override;

 private:
  void Run();
  std::unique_ptr<SoundFile> NextRequest(uint64_t& generation);
  void PlayFile(SoundFile& file, uint64_t generation);
  bool StreamToOutput(SoundFile& file, uint64_t generation);
  bool Superseded(uint64_t generation);
  void Trace(const std::string& text);

  const std::unique_ptr<PcmOutput> output_;
  const SoundTrace trace_;
  std::string lastTrace_;  // audio thread only

  std::mutex mutex_;
  std::condition_variable wake_;
  std::unique_ptr<SoundFile> pending_;
  uint64_t generation_ = 0;  // counts Play and Stop calls; a sound plays while it is unchanged
  bool shuttingDown_ = false;

  std::thread thread_;  // last, so that it starts when everything above exists
};

}  // namespace platform
