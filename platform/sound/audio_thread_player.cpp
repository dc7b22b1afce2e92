#include "platform/sound/audio_thread_player.h"

#include <algorithm>
#include <vector>

#include "platform/sound/sound_file.h"

namespace platform {

namespace {

constexpr int kChunksPerSecond = 100;

size_t FramesPerChunk(const PcmFormat& format) {
  return static_cast<size_t>(std::max(1, format.rate / kChunksPerSecond));
}

}  // namespace

AudioThreadPlayer::AudioThreadPlayer(std::unique_ptr<PcmOutput> output, SoundTrace trace)
    : output_(std::move(output)), trace_(std::move(trace)), thread_([this] { Run(); }) {}

AudioThreadPlayer::~AudioThreadPlayer() {
  {
    std::lock_guard lock(mutex_);
    shuttingDown_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

bool AudioThreadPlayer::Play(const std::string& linuxPath) {
  std::unique_ptr<SoundFile> file = SoundFile::Open(linuxPath);
  if (!file) return false;
  {
    std::lock_guard lock(mutex_);
    std::swap(pending_, file);  // a request not yet started is replaced, and closed below
    ++generation_;
  }
  wake_.notify_one();
  return true;
}

void AudioThreadPlayer::Stop() {
  std::unique_ptr<SoundFile> dropped;
  std::lock_guard lock(mutex_);
  std::swap(pending_, dropped);
  ++generation_;
}

void AudioThreadPlayer::Run() {
  uint64_t generation = 0;
  while (std::unique_ptr<SoundFile> file = NextRequest(generation)) {
    PlayFile(*file, generation);
  }
}

// Blocks until there is a sound to play; nothing when the player is shutting down.
std::unique_ptr<SoundFile> AudioThreadPlayer::NextRequest(uint64_t& generation) {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return shuttingDown_ || pending_ != nullptr; });
  if (shuttingDown_) return nullptr;
  generation = generation_;
  return std::move(pending_);
}

void AudioThreadPlayer::PlayFile(SoundFile& file, uint64_t generation) {
  const std::string error = output_->Open({file.Rate(), file.Channels()});
  if (!error.empty()) {
    Trace(error);
    return;
  }
  lastTrace_.clear();
  if (StreamToOutput(file, generation)) {
    output_->Drain();
  } else {
    output_->Drop();
  }
  output_->Close();
}

// True when the whole file went out; false when it was cut or the device failed.
bool AudioThreadPlayer::StreamToOutput(SoundFile& file, uint64_t generation) {
  const size_t chunkFrames = FramesPerChunk({file.Rate(), file.Channels()});
  std::vector<int16_t> chunk(chunkFrames * static_cast<size_t>(file.Channels()));
  while (!Superseded(generation)) {
    const size_t frames = file.ReadFrames(chunk.data(), chunkFrames);
    if (frames == 0) return true;
    const std::string error = output_->Write(chunk.data(), frames);
    if (!error.empty()) {
      Trace(error);
      return false;
    }
  }
  return false;
}

bool AudioThreadPlayer::Superseded(uint64_t generation) {
  std::lock_guard lock(mutex_);
  return shuttingDown_ || generation_ != generation;
}

void AudioThreadPlayer::Trace(const std::string& text) {
  if (text == lastTrace_) return;
  lastTrace_ = text;
  trace_(text);
}

}  // namespace platform
