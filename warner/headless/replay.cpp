#include "warner/headless/replay.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/errors/errors.h"
#include "platform/paths/paths.h"
#include "warner/headless/file_byte_source.h"
#include "warner/headless/headless_warner.h"

namespace warner {

namespace {

void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
void NoSleep(uint32_t) {}

// The worker polls a separate TMC source only while the GPS source is idle. A log file never is,
// so while the TMC file has bytes left, every block of GPS bytes is followed by one idle read, as
// a receiver pauses between its bursts.
class PausingSource final : public ByteSource {
 public:
  PausingSource(ByteSource& gps, const bool& tmcEnded) : gps_(gps), tmcEnded_(tmcEnded) {}
  uint32_t Read(uint8_t* buffer, size_t capacity, size_t* count) override {
    if (pauseNext_ && !tmcEnded_) {
      pauseNext_ = false;
      *count = 0;
      return 0;
    }
    const uint32_t error = gps_.Read(buffer, capacity, count);
    pauseNext_ = error == 0 && *count > 0;
    return error;
  }

 private:
  ByteSource& gps_;
  const bool& tmcEnded_;
  bool pauseNext_ = false;
};

void CloseUnlessStandardInput(std::FILE* file) {
  if (file != stdin) std::fclose(file);
}
using LogFile = std::unique_ptr<std::FILE, decltype(&CloseUnlessStandardInput)>;

// "-" is the standard input, as for the other tools that read receiver logs.
LogFile OpenGpsLog(const std::string& path, platform::Reporter& reporter) {
  LogFile log(path == "-" ? stdin : std::fopen(path.c_str(), "rb"), &CloseUnlessStandardInput);
  struct stat info {};
  if (log && fstat(fileno(log.get()), &info) == 0 && S_ISDIR(info.st_mode)) {
    reporter.Error("'%s' is a folder; --replay needs a GPS log file.\n", path.c_str());
    log.reset();
  } else if (!log) {
    platform::SetLastErrorFromErrno(errno);
    reporter.ErrorLastError("Can't open the GPS log '%s'.\n", path.c_str());
  }
  return log;
}

}  // namespace

int RunReplay(const ReplayOptions& options, std::FILE* out, platform::Reporter& reporter) {
  // Unpaced, the replay's time is the log's own: the worker's idle waits would only slow it down.
  HeadlessWarner warner({options.programFolder, options.json, options.testEveryRecord}, out, reporter,
                        options.paced ? &SleepMs : &NoSleep);

  const LogFile log = OpenGpsLog(options.logFile, reporter);
  if (!log) return kReplayLogUnreadable;
  if (!warner.ActivateDatabase()) return kReplayNoDatabase;

  const int paceBaud = options.paced ? warner.Settings().baudRate : 0;
  FileByteSource gpsSource(log.get(), paceBaud, &SleepMs);
  // A separate TMC source that is a file is replayed beside the GPS log.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> tmcLog(nullptr, &std::fclose);
  std::unique_ptr<FileByteSource> tmcSource;
  bool tmcEnded = true;
  if (const PortSetting& tmc = warner.Settings().useTMCPort; tmc.IsFile() && warner.ReadsSeparateTmcSource()) {
    tmcLog.reset(std::fopen(platform::ToLinuxPath(tmc.filePath).c_str(), "rb"));
    if (!tmcLog) {
      platform::SetLastErrorFromErrno(errno);
      reporter.ErrorLastError("Can't open the file '%s'.\n", tmc.filePath.c_str());
      return kReplaySourceFailed;
    }
    tmcSource = std::make_unique<FileByteSource>(tmcLog.get(), paceBaud, &SleepMs);
    tmcEnded = false;
    warner.ReadTrafficFrom([&](uint8_t* buffer, size_t capacity, size_t* count) {
      const uint32_t error = tmcSource->Read(buffer, capacity, count);
      tmcEnded = error != 0;
      return error;
    });
  }
  PausingSource source(gpsSource, tmcEnded);
  const std::atomic<bool> stop{false};
  const uint32_t code = warner.Worker().Run(source, stop);
  if (code != platform::kErrorHandleEof) {
    reporter.ErrorCode(code, "The GPS log '%s' could not be read to its end.\n", options.logFile.c_str());
    return kReplaySourceFailed;
  }
  return warner.CheckOutput() ? kReplayDone : kReplayOutputFailed;
}

}  // namespace warner
