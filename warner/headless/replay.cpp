#include "warner/headless/replay.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/errors/errors.h"
#include "warner/headless/event_printer.h"
#include "warner/session/warner_session.h"

namespace warner {

namespace {

void NoSleep(uint32_t) {}

// "-" is the standard input, as for the other tools that read receiver logs. The log is checked
// here, before the database, so that a wrong name is said as such; the sources read it after.
bool CheckGpsLog(const std::string& path, platform::Reporter& reporter) {
  std::FILE* log = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (log == nullptr) {
    platform::SetLastErrorFromErrno(errno);
    reporter.ErrorLastError("Can't open the GPS log '%s'.\n", path.c_str());
    return false;
  }
  struct stat info {};
  const bool folder = fstat(fileno(log), &info) == 0 && S_ISDIR(info.st_mode);
  if (log != stdin) std::fclose(log);
  if (folder) reporter.Error("'%s' is a folder; --replay needs a GPS log file.\n", path.c_str());
  return !folder;
}

}  // namespace

int RunReplay(const ReplayOptions& options, std::FILE* out, platform::Reporter& reporter) {
  // Unpaced, the replay's time is the log's own: the worker's idle waits would only slow it down.
  WarnerSession session({options.programFolder, options.testEveryRecord}, reporter,
                        options.paced ? &serial::SleepMs : &NoSleep);
  EventPrinter printer(out, options.json, session.Decoder());
  session.SetObserver(&printer);

  if (!CheckGpsLog(options.logFile, reporter)) return kReplayLogUnreadable;
  if (!session.ActivateDatabase()) return kReplayNoDatabase;
  const SessionEnd end = session.ReplayLog(options.logFile, options.paced);
  if (!end.opened) return kReplaySourceFailed;
  if (end.code != platform::kErrorHandleEof) {
    reporter.ErrorCode(end.code, "The GPS log '%s' could not be read to its end.\n", options.logFile.c_str());
    return kReplaySourceFailed;
  }
  return printer.CheckOutput(reporter) ? kReplayDone : kReplayOutputFailed;
}

}  // namespace warner
