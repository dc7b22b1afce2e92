// waypost: the driver warner. This build runs it without windows: --replay feeds a GPS log
// through the same worker, engine and sounds as on the road and prints every event.

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/reports/console_reporter.h"
#include "warner/headless/replay.h"

namespace {

constexpr const char* kUsage =
    "Usage: waypost --replay FILE [--folder DIR] [--paced] [--json] [--test-every-record]\n"
    "Replays a GPS log (NMEA 0183: GGA, RMC, VTG) through the warner and prints what a driver\n"
    "would see and hear: POI warnings with their distance and bearing, the speed alarm, the\n"
    "satellite fix lost and regained, and the sounds played.\n"
    "  --replay FILE  the GPS log to replay\n"
    "  --folder DIR   the warner's folder: SntGlobals.ini, SntSettings.ini, Sentry.snt, Sounds/ and\n"
    "                 Bitmaps/ (default: the folder of the program)\n"
    "  --paced        at the receiver's pace (BaudRate of SntSettings.ini, default 4800 baud)\n"
    "                 instead of as fast as the file can be read\n"
    "  --json         one JSON object per event (field \"event\": announce, speedAlarm, satFix,\n"
    "                 satLost, sound, messageFile, status, end)\n"
    "  --test-every-record  check mode: test every POI on every fix instead of searching the\n"
    "                 POIs near the position; slow, the same output, for verifying the search\n"
    "System sounds and handheld paths (\\Windows\\...) live under $DW_SYSTEM_ROOT (default\n"
    "~/.local/share/driver-warner/root); DW_SOUND=null or DW_SOUND=record:FILE keeps it quiet.\n"
    "Exit status: 0 end of the log, 2 wrong command line or log not readable, 3 database not\n"
    "usable, 4 the source failed.\n";

bool ParseOptions(int argc, char** argv, warner::ReplayOptions& options, bool& help) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      help = true;
    } else if (arg == "--paced") {
      options.paced = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--test-every-record") {
      options.testEveryRecord = true;
    } else if ((arg == "--replay" || arg == "--folder") && i + 1 < argc) {
      (arg == "--replay" ? options.logFile : options.programFolder) = argv[++i];
    } else {
      std::fprintf(stderr, "waypost: unexpected argument '%s'\n", argv[i]);
      return false;
    }
  }
  return help || !options.logFile.empty();
}

}  // namespace

int main(int argc, char** argv) {
  warner::ReplayOptions options;
  bool help = false;
  if (!ParseOptions(argc, argv, options, help)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  // Questions (a missing database) are answered No: without a database there is nothing to replay.
  platform::ConsoleReporter reporter(false, stderr);
  return warner::RunReplay(options, stdout, reporter);
}
