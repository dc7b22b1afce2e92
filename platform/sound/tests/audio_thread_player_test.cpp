#include "platform/sound/audio_thread_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/errors/errors.h"
#include "platform/sound/tests/wav_files.h"

namespace platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using Events = std::vector<std::string>;

// How soon a new request, Stop or destruction must silence the playing sound.
constexpr auto kCutBound = milliseconds(100);

// What the fake device saw and how it behaves, shared by the test and the audio thread.
struct Device {
  std::mutex mutex;
  std::condition_variable changed;
  Events events;                       // "open <rate>x<channels>", "drop", "drain", "close"
  std::vector<size_t> framesPerSound;  // one entry per successful open
  size_t writes = 0;
  size_t largestWrite = 0;
  std::string openError;  // when set, Open fails with it
  Events traces;

  void Record(Events* list, const std::string& text) {
    {
      std::lock_guard lock(mutex);
      list->push_back(text);
    }
    changed.notify_all();
  }
  bool WaitUntil(const std::function<bool()>& ready) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(3), ready);
  }
  bool WaitForEvents(const std::string& event, long count) {
    return WaitUntil([&] { return std::count(events.begin(), events.end(), event) >= count; });
  }
  bool WaitForWrites(size_t count) {
    return WaitUntil([&] { return writes >= count; });
  }
  template <class T>
  T Read(T Device::*field) {
    std::lock_guard lock(mutex);
    return this->*field;
  }
};

// A device that takes samples at the pace a real one plays them.
class FakePcmOutput final : public PcmOutput {
 public:
  explicit FakePcmOutput(std::shared_ptr<Device> device) : device_(std::move(device)) {}

  std::string Open(const PcmFormat& format) override {
    rate_ = format.rate;
    std::string error;
    {
      std::lock_guard lock(device_->mutex);
      error = device_->openError;
      if (error.empty()) device_->framesPerSound.push_back(0);
    }
    device_->Record(&device_->events, "open " + std::to_string(format.rate) + "x" + std::to_string(format.channels));
    return error;
  }
  std::string Write(const int16_t*, size_t frameCount) override {
    std::this_thread::sleep_for(std::chrono::microseconds(frameCount * 1'000'000 / size_t(rate_)));
    {
      std::lock_guard lock(device_->mutex);
      device_->framesPerSound.back() += frameCount;
      device_->largestWrite = std::max(device_->largestWrite, frameCount);
      ++device_->writes;
    }
    device_->changed.notify_all();
    return {};
  }
  void Drop() override { device_->Record(&device_->events, "drop"); }
  void Drain() override { device_->Record(&device_->events, "drain"); }
  void Close() override { device_->Record(&device_->events, "close"); }

 private:
  std::shared_ptr<Device> device_;
  int rate_ = 1;
};

class AudioThread : public ::testing::Test {
 protected:
  std::unique_ptr<AudioThreadPlayer> MakePlayer() {
    return std::make_unique<AudioThreadPlayer>(
        std::make_unique<FakePcmOutput>(device_),
        [device = device_](const std::string& text) { device->Record(&device->traces, text); });
  }
  void SetOpenError(const std::string& error) {
    std::lock_guard lock(device_->mutex);
    device_->openError = error;
  }

  testing::SoundFolder folder_;
  std::shared_ptr<Device> device_ = std::make_shared<Device>();
};

TEST_F(AudioThread, PlaysAWholeSoundInSmallChunksAndLetsItFinish) {
  auto player = MakePlayer();
  ASSERT_TRUE(player->Play(folder_.Sine("short.wav", 0.1, 8000)));
  ASSERT_TRUE(device_->WaitForEvents("close", 1));
  EXPECT_EQ(device_->Read(&Device::events), (Events{"open 8000x1", "drain", "close"}));
  EXPECT_EQ(device_->Read(&Device::framesPerSound), std::vector<size_t>{800});
  EXPECT_LE(device_->Read(&Device::largestWrite), 80u);  // 10 ms: a cut is seen between chunks
}

TEST_F(AudioThread, ANewSoundCutsThePlayingOneWithinTheBound) {
  const std::string next = folder_.Sine("next.wav", 0.05, 16000, 2);
  auto player = MakePlayer();
  ASSERT_TRUE(player->Play(folder_.Sine("long.wav", 2.0, 8000)));
  ASSERT_TRUE(device_->WaitForWrites(2));

  const auto cutAt = steady_clock::now();
  ASSERT_TRUE(player->Play(next));
  ASSERT_TRUE(device_->WaitForEvents("open 16000x2", 1));
  EXPECT_LT(steady_clock::now() - cutAt, kCutBound);

  ASSERT_TRUE(device_->WaitForEvents("close", 2));
  EXPECT_EQ(device_->Read(&Device::events), (Events{"open 8000x1", "drop", "close", "open 16000x2", "drain", "close"}));
  const auto frames = device_->Read(&Device::framesPerSound);
  EXPECT_LT(frames[0], 16000u);
  EXPECT_EQ(frames[1], 800u);
}

TEST_F(AudioThread, StopAndDestructionSilenceThePlayingSound) {
  const std::string longSound = folder_.Sine("long.wav", 2.0);
  auto player = MakePlayer();
  ASSERT_TRUE(player->Play(longSound));
  ASSERT_TRUE(device_->WaitForWrites(1));
  auto start = steady_clock::now();
  player->Stop();
  ASSERT_TRUE(device_->WaitForEvents("close", 1));
  EXPECT_LT(steady_clock::now() - start, kCutBound);

  ASSERT_TRUE(player->Play(longSound));
  ASSERT_TRUE(device_->WaitForWrites(device_->Read(&Device::writes) + 1));
  start = steady_clock::now();
  player.reset();
  EXPECT_LT(steady_clock::now() - start, kCutBound);
  EXPECT_EQ(device_->Read(&Device::events), (Events{"open 8000x1", "drop", "close", "open 8000x1", "drop", "close"}));
}

TEST_F(AudioThread, ARefusedFileLeavesThePlayingSoundAlone) {
  const std::string text = folder_.Text("text.wav", "no sound");
  auto player = MakePlayer();
  ASSERT_TRUE(player->Play(folder_.Sine("sound.wav", 0.2)));
  ASSERT_TRUE(device_->WaitForWrites(1));
  EXPECT_FALSE(player->Play(folder_.Path("missing.wav")));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_FALSE(player->Play(text));
  EXPECT_EQ(GetLastError(), kErrorInvalidData);
  ASSERT_TRUE(device_->WaitForEvents("close", 1));
  EXPECT_EQ(device_->Read(&Device::events), (Events{"open 8000x1", "drain", "close"}));
}

TEST_F(AudioThread, ADeviceFailureIsTracedOnceUntilTheDeviceWorksAgain) {
  const std::string sound = folder_.Sine("sound.wav", 0.02);
  auto player = MakePlayer();
  SetOpenError("no device");
  EXPECT_TRUE(player->Play(sound));
  ASSERT_TRUE(device_->WaitForEvents("open 8000x1", 1));
  EXPECT_TRUE(player->Play(sound));
  ASSERT_TRUE(device_->WaitForEvents("open 8000x1", 2));
  EXPECT_EQ(device_->Read(&Device::traces), Events{"no device"});

  SetOpenError("");
  EXPECT_TRUE(player->Play(sound));
  ASSERT_TRUE(device_->WaitForEvents("close", 1));
  SetOpenError("no device");
  EXPECT_TRUE(player->Play(sound));
  // The trace follows the failed open, so wait for the trace itself.
  ASSERT_TRUE(device_->WaitUntil([&] { return device_->traces.size() >= 2; }));
  EXPECT_EQ(device_->Read(&Device::traces), (Events{"no device", "no device"}));
}

// The real device, where the machine has one; the fake above covers the logic everywhere.
TEST(AlsaDevice, PlaysAndCutsWhenADeviceExists) {
  {
    const auto probe = CreateAlsaPcmOutput();
    const std::string error = probe->Open({44100, 2});
    if (!error.empty()) GTEST_SKIP() << error;
    probe->Close();
  }
  testing::SoundFolder folder;
  auto traces = std::make_shared<Device>();
  {
    AudioThreadPlayer player(CreateAlsaPcmOutput(),
                             [traces](const std::string& text) { traces->Record(&traces->traces, text); });
    ASSERT_TRUE(player.Play(folder.Sine("first.wav", 1.0, 44100, 2)));
    std::this_thread::sleep_for(milliseconds(100));
    ASSERT_TRUE(player.Play(folder.Sine("second.wav", 0.1, 22050)));
    std::this_thread::sleep_for(milliseconds(200));
  }
  EXPECT_EQ(traces->Read(&Device::traces), Events{});
}

}  // namespace
}  // namespace platform
