#pragma once
// Shared pieces of the worker tests: a source that plays a script of reads, the satellite sounds
// with their counting rule, and an observer that records everything.

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/errors/errors.h"
#include "tools/drive_sim/nmea_writer.h"
#include "warner/core/engine/tests/engine_test_util.h"
#include "warner/core/worker/gps_worker.h"
#include "warner/gps/nmea_decoder.h"

namespace warner::test {

inline std::string Nmea(std::string_view body) {
  return "$" + std::string(body) + "*" + drive_sim::Checksum(body) + "\r\n";
}

inline const std::string kGoodGga = Nmea("GPGGA,080000.000,5000.0000,N,00800.0000,E,1,08,1.0,500.0,M,47.0,M,,");
inline const std::string kGoodRmc = Nmea("GPRMC,080000.000,A,5000.0000,N,00800.0000,E,10.0,90.0,010624,,");
inline const std::string kBadGga = Nmea("GPGGA,080001.000,,,,,0,00,,,M,,M,,");
inline const std::string kBadRmc = Nmea("GPRMC,080001.000,V,,,,,,,010624,,");
inline const std::string kJunk(300, 'x');  // longer than any sentence: one framing error

// Each step is one read: bytes with result 0, a bare result code, or an exception.
class ScriptedSource : public ByteSource {
 public:
  struct Step {
    uint32_t code = 0;
    std::string bytes;
    bool raise = false;
    uint32_t raiseCode = 0;  // non-zero: a system_error with this code
  };

  // `text` split into reads of at most `chunk` bytes.
  ScriptedSource& Bytes(std::string_view text, size_t chunk = 64) {
    for (size_t at = 0; at < text.size(); at += chunk) steps_.push_back({0, std::string(text.substr(at, chunk))});
    return *this;
  }
  ScriptedSource& Code(uint32_t code, int times = 1) {
    for (int i = 0; i < times; ++i) steps_.push_back({code, {}});
    return *this;
  }
  ScriptedSource& Idle(int times) { return Code(0, times); }
  ScriptedSource& Throw(uint32_t systemCode = 0) {
    steps_.push_back({0, {}, true, systemCode});
    return *this;
  }
  // What is read once the script is used up.
  ScriptedSource& Then(uint32_t code) {
    end_ = code;
    return *this;
  }
  // Called before each read with its number (from 1), e.g. to set the stop flag.
  std::function<void(int)> beforeRead;
  int reads = 0;

  uint32_t Read(uint8_t* buffer, size_t capacity, size_t* count) override {
    ++reads;
    if (beforeRead) beforeRead(reads);
    *count = 0;
    if (next_ >= steps_.size()) return end_;
    const Step& step = steps_[next_++];
    if (step.raise) {
      if (step.raiseCode != 0) throw std::system_error(static_cast<int>(step.raiseCode), std::generic_category());
      throw std::runtime_error("scripted");
    }
    if (step.bytes.size() > capacity) throw std::logic_error("script chunk larger than the buffer");
    std::memcpy(buffer, step.bytes.data(), step.bytes.size());
    *count = step.bytes.size();
    return step.code;
  }

 private:
  std::vector<Step> steps_;
  size_t next_ = 0;
  uint32_t end_ = platform::kErrorHandleEof;
};

// The fix and lost sounds as the alarm output decides them, recording the calls and what played.
class CountingSatSounds : public SatelliteSoundOutput {
 public:
  explicit CountingSatSounds(int threshold) : threshold_(threshold) {}
  std::vector<int32_t> lostCalls, regainedCalls;
  std::vector<std::string> played;  // "fix" or "lost"
  int resets = 0;

  void Reset() override {
    ++resets;
    last_ = 0;
    gga_ = rmc_ = 0;
  }
  void SatFixRegained(int32_t type) override {
    regainedCalls.push_back(type);
    gga_ = rmc_ = 0;
    if ((type == -1 || threshold_ != 0) && last_ != 1) {
      played.emplace_back("fix");
      last_ = 1;
    }
  }
  void SatFixLost(int32_t typeBits) override {
    lostCalls.push_back(typeBits);
    bool wanted = typeBits == -1;
    if (!wanted && threshold_ != 0) {
      if (typeBits & 0x100) ++gga_;
      if (typeBits & 0x200) ++rmc_;
      wanted = gga_ >= threshold_ || rmc_ >= threshold_;
      if (wanted) gga_ = rmc_ = threshold_;
    }
    if (wanted && last_ != 2) {
      played.emplace_back("lost");
      last_ = 2;
    }
  }

 private:
  int threshold_;
  int last_ = 0, gga_ = 0, rmc_ = 0;
};

class RecordingObserver : public WorkerObserver {
 public:
  std::vector<Status> statuses;
  std::vector<uint32_t> ended;
  std::vector<std::string> faults;
  int notReady = 0;
  void StatusChanged(Status status) override { statuses.push_back(status); }
  void SourceNotReady() override { ++notReady; }
  void WorkerEnded(uint32_t code) override { ended.push_back(code); }
  void Fault(std::string_view text) override { faults.emplace_back(text); }
};

// A worker over an engine with its own table; sleeps are counted, not slept.
struct WorkerRig {
  explicit WorkerRig(int playSatFixSound = 2) : sounds(playSatFixSound) { settings.playSatFixSound = playSatFixSound; }
  EngineRig engine;
  gps::NmeaDecoder decoder{engine.lock};
  CountingSatSounds sounds;
  RecordingObserver observer;
  WorkerSettings settings;
  std::vector<uint32_t> sleeps;
  std::atomic<bool> stop{false};

  uint32_t Run(ByteSource& source) {
    GpsWorker worker(decoder, engine.engine, sounds, observer, settings, [this](uint32_t ms) { sleeps.push_back(ms); });
    return worker.Run(source, stop);
  }
  uint32_t SleptMs() const {
    uint32_t total = 0;
    for (uint32_t ms : sleeps) total += ms;
    return total;
  }
};

}  // namespace warner::test
