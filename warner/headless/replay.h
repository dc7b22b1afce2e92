#pragma once
// The warner without windows: settings and database from a program folder, a GPS log fed through
// the same worker, engine and sounds as on the road, every event printed as it happens.

#include <cstdio>
#include <string>

#include "platform/reports/reporter.h"

namespace warner {

struct ReplayOptions {
  std::string logFile;           // the GPS log to replay; "-" the standard input
  std::string programFolder;     // settings files, Sentry.snt, Sounds/, Bitmaps/; empty: the program's own
  bool paced = false;            // at the receiver's pace (BaudRate of the settings) instead of at once
  bool json = false;             // one JSON object per event
  bool testEveryRecord = false;  // check mode: no search window, every record on every fix
};

// Exit codes of the replay.
enum ReplayResult : int {
  kReplayDone = 0,
  kReplayLogUnreadable = 2,
  kReplayNoDatabase = 3,
  kReplaySourceFailed = 4,
  kReplayOutputFailed = 5,  // events not written whole
};

int RunReplay(const ReplayOptions& options, std::FILE* out, platform::Reporter& reporter);

}  // namespace warner
