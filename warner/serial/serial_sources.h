#pragma once
// The warner's GPS and TMC sources: a serial port read by a thread of its own into a byte ring, or
// a log file replayed at the receiver's pace, found by the settings, by the driver's virtual ports
// or by the user's choice in stand-alone mode; and the alternate file. The worker and the traffic
// decoder pull their bytes from here.
//
// Threads: StartSources and StopSources run on the thread that activates the warner;
// ReadGpsBytes (the worker) and ReadTmcBytes (the traffic decoder) may run meanwhile on theirs.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/clock/clock.h"
#include "platform/devices/device.h"
#include "platform/reports/reporter.h"
#include "warner/core/settings/source_setting.h"
#include "warner/serial/alternate_source.h"
#include "warner/serial/read_thread.h"
#include "warner/serial/source_selection.h"
#include "warner/serial/source_thread.h"

namespace serial {

// The driver keys of the virtual ports.
inline constexpr const char* kGpsDriverKey = "SercastNG";
inline constexpr const char* kTmcDriverKey = "SercastNGTMC";

inline constexpr uint32_t kTmcBaudRate = 38400;

// Waits the given milliseconds on the calling thread.
void SleepMs(uint32_t ms);

// Waits of the sources; tests change them, and a replay that is not paced sleeps not at all.
struct SourceTimings {
  StopTimings stop;
  uint32_t alternateRetryWaitMs = 100;
  std::function<void(uint32_t ms)> replaySleep = SleepMs;  // the pause after each block of a log file
};

// What the sources take of the settings.
struct SourceSettings {
  warner::PortSetting gpsPort;  // the port or file of the GPS source state (UseGPSPort, UseWM5GPSPort)
  warner::PortSetting tmcPort;  // UseTMCPort
  warner::SourceState gpsState = warner::kGpsSourceSearchVirtual;
  warner::SourceState tmcState = warner::kTmcSourceNone;
  int evaluateTmc = 0;  // EvaluateTMC: a serial TMC source when its absolute value is 2 or more
  std::string alternateSourceFile;
  int alternateSourceType = 0;
  SourceSelection selection;  // the stored source selection (the main-window values)
};

class SerialSources {
 public:
  // The clock tells the alternate file's age.
  SerialSources(const SourceSettings& settings, platform::Reporter& reporter, const platform::Clock& clock,
                SourceTimings timings = {});
  SerialSources(const SerialSources&) = delete;
  SerialSources& operator=(const SerialSources&) = delete;
  ~SerialSources();

  SourceSelection& Selection() { return selection_; }
  const SourceSelection& Selection() const { return selection_; }
  warner::SourceState GpsSourceState() const { return gpsState_; }
  warner::SourceState TmcSourceState() const { return tmcState_; }
  // The GPS and TMC ports found by the virtual search or given by the settings.
  const std::string& GpsPortName() const { return gpsPortName_; }
  const std::string& TmcPortName() const { return tmcPortName_; }

  // Kept up to date by the warner core (its window search); read here only.
  void SetNavigationProgramPresent(bool present) { navigationPresent_->store(present); }

  // The worker's source is ReadGpsBytes: stand-alone mode, or GpsSourceState 2, 3 or 4.
  bool ReadsGpsBytes() const;
  AlternateSource& Alternate() { return alternate_; }

  // Stops what runs, finds the virtual ports the settings leave to the search, opens the GPS and
  // TMC sources, starts their threads and checks the alternate file. 0, or the error after its
  // message; then nothing stays open.
  uint32_t StartSources();
  // Stops the threads, puts the ports back as they were found and closes them and the files. 0.
  uint32_t StopSources();

  // 0 with up to `capacity` bytes (possibly none), or the source's error: 13 bytes lost, 21 not
  // ready, 38 end of a log file, 110 no source, 8255 ring not set up, others from the port.
  uint32_t ReadGpsBytes(uint8_t* buffer, size_t capacity, size_t* count);
  // As ReadGpsBytes; without a TMC source 0 and no bytes.
  uint32_t ReadTmcBytes(uint8_t* buffer, size_t capacity, size_t* count);

  // The exit code of a read thread (for tests and diagnostics): -1 at reset, 0 while running, -2
  // given up, else the error that ended it.
  int ThreadExitCode(bool tmc) const { return (tmc ? tmc_ : gps_).thread.ExitCode(); }

 private:
  // One of the two sources: a port with its ring and thread, or a log file.
  struct Source {
    explicit Source(const char* threadName) : thread(threadName) {}
    SourceThread thread;
    std::shared_ptr<ReadChannel> channel;
    std::shared_ptr<platform::Device> file;
  };
  enum class Input { kNone, kPort, kFile };

  uint32_t FindVirtualPort(const char* keyName, const char* failure, std::string& portName);
  uint32_t OpenGps();
  uint32_t OpenTmc();
  uint32_t OpenPort(Source& source, const std::string& name, uint32_t access, ReadOnlySetup readOnlySetup,
                    uint32_t baudRate, bool tmc);
  uint32_t OpenFile(Source& source, const std::string& path);
  void StopSource(Source& source);
  Input GpsInput() const;
  Input TmcInput() const;
  uint32_t ReadSource(Source& source, Input input, uint8_t* buffer, size_t capacity, size_t* count);
  uint32_t ReplayFile(platform::Device& file, uint8_t* buffer, size_t capacity, size_t* count) const;

  platform::Reporter& reporter_;
  const SourceTimings timings_;
  const warner::PortSetting gpsSetting_;
  const warner::PortSetting tmcSetting_;
  const int evaluateTmc_;
  SourceSelection selection_;
  warner::SourceState gpsState_;
  warner::SourceState tmcState_;
  std::string gpsPortName_;
  std::string tmcPortName_;
  std::shared_ptr<std::atomic<bool>> navigationPresent_ = std::make_shared<std::atomic<bool>>(false);
  std::shared_ptr<ThreadReports> reports_;
  AlternateSource alternate_;

  std::mutex lock_;  // the channels and files, which the readers take while the owner swaps them
  Source gps_{kGpsThreadName};
  Source tmc_{kTmcThreadName};
};

}  // namespace serial
