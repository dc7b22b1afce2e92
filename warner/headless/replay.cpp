#include "warner/headless/replay.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/errors/errors.h"
#include "warner/headless/file_byte_source.h"
#include "warner/headless/headless_warner.h"

namespace warner {

namespace {

void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

int RunReplay(const ReplayOptions& options, std::FILE* out, platform::Reporter& reporter) {
  HeadlessWarner warner({options.programFolder, options.json, options.testEveryRecord}, out, reporter, &SleepMs);

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> log(std::fopen(options.logFile.c_str(), "rb"), &std::fclose);
  if (!log) {
    platform::SetLastErrorFromErrno(errno);
    reporter.ErrorLastError("Can't open the GPS log '%s'.\n", options.logFile.c_str());
    return kReplayLogUnreadable;
  }
  if (!warner.ActivateDatabase()) return kReplayNoDatabase;

  FileByteSource source(log.get(), options.paced ? warner.Settings().baudRate : 0, &SleepMs);
  const std::atomic<bool> stop{false};
  const uint32_t code = warner.Worker().Run(source, stop);
  return code == platform::kErrorHandleEof ? kReplayDone : kReplaySourceFailed;
}

}  // namespace warner
