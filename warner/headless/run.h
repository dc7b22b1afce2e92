#pragma once
// The warner without windows on the sources its settings name (a port, the driver's virtual port,
// a log file, the alternate file), until it is asked to stop or the source fails. Every event is
// printed as it happens, as in the replay.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/reports/reporter.h"

namespace warner {

struct RunOptions {
  std::string programFolder;  // as for the replay; empty: the program's own
  bool json = false;
  bool standAlone = false;  // the port of the stored source selection instead of a virtual port
};

// Exit codes of the run.
enum RunResult : int { kRunDone = 0, kRunNoDatabase = 3, kRunSourceFailed = 4, kRunOutputFailed = 5 };

// The request to end a run, from another thread (the program's signal handling); the run's waits
// end as soon as it comes.
class RunStop {
 public:
  void Request();
  const std::atomic<bool>& Flag() const { return requested_; }
  void WaitFor(uint32_t ms);

 private:
  std::atomic<bool> requested_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
};

// Loads the database, opens the sources and runs the worker on them; then stops and closes the
// sources (their ports as they were found) and writes the main-window values back. kRunDone when
// stopped (or at the end of a replayed log file), kRunNoDatabase, kRunSourceFailed when the
// sources could not be opened or failed while running (said on the reporter), or kRunOutputFailed
// when the events or the main-window values could not be written.
int RunOnSources(const RunOptions& options, std::FILE* out, platform::Reporter& reporter, RunStop& stop);

}  // namespace warner
