// waypost: the driver warner. With a display it shows its main window; without windows --replay
// feeds a GPS log through the same worker, engine and sounds as on the road, and --run reads the
// sources the settings name; both print every event.

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>

#include <QApplication>

#include "platform/desktop/desktop.h"
#include "platform/desktop/ui/screenshot.h"
#include "platform/reports/console_reporter.h"
#include "platform/reports/ui/qt_reporter.h"
#include "warner/headless/event_printer.h"
#include "warner/headless/replay.h"
#include "warner/headless/run.h"
#include "warner/search/search_command.h"
#include "warner/ui/gui_thread_reporter.h"
#include "warner/ui/main_window.h"
#include "warner/ui/warner_windows.h"

namespace {

constexpr const char* kUsage =
    "Usage: waypost [--folder DIR] [--events FILE]\n"
    "       waypost --replay FILE [--folder DIR] [--paced] [--json] [--test-every-record]\n"
    "       waypost --run [--folder DIR] [--json] [--stand-alone]\n"
    "       waypost --search LIST --at LAT,LON [--radius KM] [--json]\n"
    "Without --replay or --run the warner shows its main window (a display is needed);\n"
    "--events FILE then writes every event to FILE as the JSON lines of --run --json.\n"
    "With --replay or --run it runs without windows and prints what a driver would see and hear:\n"
    "POI warnings with their distance and bearing, the speed alarm, the satellite fix lost and\n"
    "regained, and the sounds played. With --search it searches a POI list around a position.\n"
    "  --replay FILE  replays a GPS log (NMEA 0183: GGA, RMC, VTG); - reads the standard input\n"
    "  --run          reads the GPS source the settings name until SIGINT or SIGTERM: UseGPSPort\n"
    "                 or UseWM5GPSPort of SntGlobals.ini (a port such as COM4: or a log file), else\n"
    "                 the driver's virtual port, or the alternate file (AlternateSourceFile). Ports\n"
    "                 are looked up in the registry's port map (HKLM\\Linux\\SerialPorts) and are put\n"
    "                 back as they were found when the run ends; the source selection is written\n"
    "                 back to SntSettings.ini. Without windows there is no navigation program to\n"
    "                 look for, so it always counts as present (UseWM5GPSPort keeps its port open).\n"
    "  --stand-alone  with --run: the warner owns the port of Source in SntSettings.ini (or replays\n"
    "                 SourceFile for FILE) at its BaudRate, instead of listening to a virtual port\n"
    "  --folder DIR   the warner's folder: SntGlobals.ini, SntSettings.ini, Sentry.snt, Sounds/ and\n"
    "                 Bitmaps/ (default: the folder of the program)\n"
    "  --search LIST  lists the points of an ASC POI list within the radius (default 10 km) of the\n"
    "                 position --at gives in decimal degrees, nearest first: distance [km],\n"
    "                 direction, description, longitude and latitude, separated by tabs (--json:\n"
    "                 one object per point with those keys); exit status 3 when LIST is unreadable\n"
    "  --paced        at the receiver's pace (BaudRate of SntSettings.ini, default 4800 baud)\n"
    "                 instead of as fast as the file can be read\n"
    "  --json         one JSON object per event (field \"event\": announce, speedAlarm, satFix,\n"
    "                 satLost, sound, messageFile, traffic, status, end)\n"
    "  --test-every-record  check mode: test every POI on every fix instead of searching the\n"
    "                 POIs near the position; slow, the same output, for verifying the search\n"
    "With EvaluateTMC set, traffic messages of a TMC radio (embedded in the GPS stream, or with\n"
    "EvaluateTMC = 2 from UseTMCPort) are decoded with ECL_D1.bin and LCL_D1.bin of the folder,\n"
    "appended to SntTMC.txt under ASCWriteDirPath and printed as traffic events.\n"
    "System sounds, handheld paths (\\Windows\\...) and the registry live under $DW_SYSTEM_ROOT\n"
    "(default ~/.local/share/driver-warner/root); DW_SOUND=null or DW_SOUND=record:FILE keeps it\n"
    "quiet.\n"
    "Without Sentry.snt the warner runs only with LogSntFileMissing = 0 in SntGlobals.ini\n"
    "(satellite sounds, speed alarm and traffic, no POI warnings).\n"
    "Exit status: 0 end of the log or run stopped, 2 wrong command line or log not readable,\n"
    "3 database not usable, 4 the source could not be opened or failed, 5 the events or\n"
    "SntSettings.ini could not be written.\n";

struct Options {
  warner::ReplayOptions replay;
  std::string events;
  std::optional<warner::SearchCommand> search;
  bool searchAt = false;  // --at was given
  bool run = false;
  bool standAlone = false;
  bool help = false;
};

// --search LIST, --at LAT,LON and --radius KM; `value` is null when the option ends the line.
bool ParseSearchOption(std::string_view option, const char* value, Options& options) {
  if (!options.search) options.search = warner::SearchCommand{.radiusKm = 0};
  warner::SearchCommand& search = *options.search;
  const std::string_view text = value != nullptr ? value : "";
  if (option == "--search" && !text.empty()) {
    search.listPath = text;
    return true;
  }
  if (option == "--at") {
    if (const auto position = warner::ParseSearchPosition(text)) {
      std::tie(search.latitude, search.longitude) = *position;
      options.searchAt = true;
      return true;
    }
    std::fputs("waypost: --at needs LAT,LON in decimal degrees, such as 48.137,11.575\n", stderr);
    return false;
  }
  if (option == "--radius") {
    if (const auto radius = warner::ParseSearchRadius(text)) {
      search.radiusKm = *radius;
      return true;
    }
    std::fputs("waypost: --radius needs a distance in km above 0\n", stderr);
    return false;
  }
  std::fputs("waypost: --search needs an ASC POI list\n", stderr);
  return false;
}

// The search goes alone (with --json), needs a list and a position, and searches 10 km by default.
bool CheckSearchOptions(Options& options, bool replay) {
  warner::SearchCommand& search = *options.search;
  if (replay || options.run || options.standAlone || options.replay.paced || options.replay.testEveryRecord ||
      !options.replay.programFolder.empty() || !options.events.empty()) {
    std::fputs("waypost: --search goes alone, with --at, --radius and --json\n", stderr);
    return false;
  }
  if (search.listPath.empty() || !options.searchAt) {
    std::fputs("waypost: --search LIST and --at LAT,LON go together\n", stderr);
    return false;
  }
  if (search.radiusKm == 0) search.radiusKm = 10;
  search.json = options.replay.json;
  return true;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--paced") {
      options.replay.paced = true;
    } else if (arg == "--json") {
      options.replay.json = true;
    } else if (arg == "--test-every-record") {
      options.replay.testEveryRecord = true;
    } else if (arg == "--run") {
      options.run = true;
    } else if (arg == "--stand-alone") {
      options.standAlone = true;
    } else if (arg == "--replay" || arg == "--folder" || arg == "--events") {
      if (i + 1 >= argc || std::string_view(argv[i + 1]).empty()) {
        std::fprintf(stderr, "waypost: %s needs %s\n", argv[i],
                     arg == "--replay"   ? "a GPS log file (- for the standard input)"
                     : arg == "--folder" ? "a folder"
                                         : "a file");
        return false;
      }
      (arg == "--replay"   ? options.replay.logFile
       : arg == "--folder" ? options.replay.programFolder
                           : options.events) = argv[++i];
    } else if (arg == "--search" || arg == "--at" || arg == "--radius") {
      if (!ParseSearchOption(arg, i + 1 < argc ? argv[++i] : nullptr, options)) return false;
    } else {
      std::fprintf(stderr, "waypost: unexpected argument '%s'\n", argv[i]);
      return false;
    }
  }
  const bool replay = !options.replay.logFile.empty();
  if (options.help) return true;
  if (options.search) return CheckSearchOptions(options, replay);
  if (replay && options.run) {
    std::fputs("waypost: --replay and --run exclude each other\n", stderr);
    return false;
  }
  if (!options.events.empty() && (replay || options.run)) {
    std::fputs("waypost: --events goes with the windows; --replay and --run print the events\n", stderr);
    return false;
  }
  if (options.standAlone && !options.run) {
    std::fputs("waypost: --stand-alone goes with --run\n", stderr);
    return false;
  }
  return true;
}

// Runs on the sources until SIGINT or SIGTERM. The signals are taken by a thread of their own
// (blocked everywhere else before any thread starts), which asks the run to stop; the run then
// ends its worker and puts the ports back before the program exits.
int RunUntilSignalled(const Options& options, platform::Reporter& reporter) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  warner::RunStop stop;
  std::atomic<bool> finished{false};
  std::thread watcher([&] {
    const timespec poll{0, 200L * 1000 * 1000};
    while (!finished.load()) {
      if (sigtimedwait(&signals, nullptr, &poll) > 0) stop.Request();
    }
  });
  warner::RunOptions run;
  run.programFolder = options.replay.programFolder;
  run.json = options.replay.json;
  run.standAlone = options.standAlone;
  const int result = warner::RunOnSources(run, stdout, reporter, stop);
  finished = true;
  watcher.join();
  return result;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

int RunWindows(int argc, char** argv, const Options& options) {
  std::unique_ptr<std::FILE, FileCloser> events;
  if (!options.events.empty()) {
    events.reset(std::fopen(options.events.c_str(), "w"));
    if (!events) {
      std::fprintf(stderr, "waypost: can't write the events to %s: %s\n", options.events.c_str(), std::strerror(errno));
      return 5;
    }
  }
  QApplication app(argc, argv);
  platform::ui::QtReporter boxes;
  warner::ui::GuiThreadReporter reporter(boxes, app);
  warner::ui::WarnerWindows windows(options.replay.programFolder, reporter);
  warner::ui::MainWindow& window = windows.Main();
  boxes.SetParent(&window);
  window.show();
  window.Start();
  std::unique_ptr<warner::EventPrinter> printer;
  if (events && window.Controller().Session() != nullptr) {
    printer = std::make_unique<warner::EventPrinter>(events.get(), true, window.Controller().Session()->Decoder());
    window.Controller().SetEventObserver(printer.get());
  }
  platform::ui::ScheduleScreenshot(window, 1500);
  app.exec();
  window.Controller().Shutdown();
  return printer && !printer->CheckOutput(reporter) ? 5 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (options.replay.logFile.empty() && !options.run && !options.search) {
    if (platform::HasDisplay()) return RunWindows(argc, argv, options);
    std::fputs(
        "waypost: no display to show the windows on; --run runs the warner on its sources without windows,\n"
        "--replay FILE replays a GPS log (--help says more)\n",
        stderr);
    return 2;
  }
  // Questions (a missing database) are answered No: nobody is there to accept a run without
  // warnings; LogSntFileMissing = 0 accepts it beforehand.
  platform::ConsoleReporter reporter(false, stderr);
  if (options.run) return RunUntilSignalled(options, reporter);
  if (options.search) return warner::RunSearchCommand(*options.search, stdout, stderr);
  return warner::RunReplay(options.replay, stdout, reporter);
}
