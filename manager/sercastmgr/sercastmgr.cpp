// sercastmgr: activates and deactivates the virtual port driver and tests what arrives on a port.
// Installed as sercastmgrtmc it manages the TMC instance of the driver.

#include <signal.h>

#include <QApplication>
#include <QPointer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "driver/registry/driver_keys.h"
#include "manager/core/driver_manager.h"
#include "manager/core/port_test.h"
#include "manager/core/program_facts.h"
#include "manager/ui/manager_dialog.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/ui/screenshot.h"
#include "platform/devices/device_manager.h"
#include "platform/paths/paths.h"
#include "platform/reports/console_reporter.h"
#include "platform/reports/ui/qt_reporter.h"
#include "platform/text/text.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintUsage(FILE* out, const std::string& program) {
  std::fprintf(out,
               "Usage: %s -A | -D | --test-raw PORT | --test-gps PORT | --help\n"
               "  -A               activate the virtual port driver with the stored choices\n"
               "  -D               deactivate it and remove its driver key\n"
               "  --test-raw PORT  show what arrives on PORT as text, until Ctrl-C\n"
               "  --test-gps PORT  show a line for each GGA, RMC and VTG sentence on PORT, until Ctrl-C\n"
               "The choices are kept under HKCU\\software\\Velmora\\<program name> (see dwreg).\n",
               program.c_str());
}

// The test's lines as they come; the list's limit is a window's, not a terminal's.
class StdoutSink final : public manager::PortTestSink {
 public:
  void Clear() override {}
  void RemoveFirstLine() override {}
  void AddLine(const std::string& line) override {
    std::printf("%s\n", platform::TerminalSafe(line).c_str());
    std::fflush(stdout);
  }
};

bool IsActiveDevice(std::string_view port) {
  const auto devices = platform::ListDevices();
  if (!devices) return false;
  for (const platform::ActiveDevice& device : *devices) {
    if (platform::EqualsNoCase(device.name, port)) return true;
  }
  return false;
}

int RunPortTest(const manager::ProgramFacts& facts, manager::PortTestMode mode, const std::string& port) {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);  // before the test thread, which inherits it

  platform::ConsoleReporter reporter(false);
  StdoutSink sink;
  driver::ManagerSettings settings;
  driver::ReadManagerSettings(facts.programName, settings);
  manager::PortTest test(reporter, sink);
  if (!test.Start(mode, {port, IsActiveDevice(port), settings.baudRate})) return kExitFailure;
  std::fprintf(stderr, "%s\n", test.Caption().c_str());
  int received = 0;
  sigwait(&stopSignals, &received);
  test.Stop();
  return 0;
}

int RunAutomatic(const manager::ProgramFacts& facts, manager::RunMode mode) {
  platform::ConsoleReporter reporter(false);
  StdoutSink sink;
  manager::DriverManager manager(facts, reporter, sink);
  if (!manager.Start(mode)) {
    if (facts.programName.rfind(driver::kManagerBaseName, 0) != 0) {
      std::fprintf(stderr, "%s: this program runs only as sercastmgr or sercastmgrtmc\n", facts.programName.c_str());
    }
    return kExitFailure;
  }
  const bool done = mode == manager::RunMode::kActivate ? manager.Activate() : manager.Deactivate();
  const bool saved = manager.Exit();
  return done && saved ? 0 : kExitFailure;
}

int RunDialog(int argc, char** argv, const manager::ProgramFacts& facts) {
  QApplication app(argc, argv);
  platform::ui::QtReporter reporter;
  manager::ui::PortTestList lines;
  QPointer<QWidget> window;
  manager::DriverManager manager(facts, reporter, lines, manager::ui::QtFileChooser(window));
  if (!manager.Start()) return kExitFailure;
  manager::ui::ManagerDialog dialog(manager, lines);
  window = &dialog;
  reporter.SetParent(&dialog);
  platform::ui::ScheduleScreenshot(dialog);
  dialog.exec();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const manager::ProgramFacts facts = manager::GatherProgramFacts(argv[0]);
  const std::string program = platform::FileNamePart(argv[0]);
  const std::string_view option = argc > 1 ? argv[1] : "";
  if (argc == 2 && (option == "--help" || option == "-h")) {
    PrintUsage(stdout, program);
    return 0;
  }
  if (argc == 2 && (option == "-A" || option == "-D")) {
    return RunAutomatic(facts, option == "-A" ? manager::RunMode::kActivate : manager::RunMode::kDeactivate);
  }
  if (argc == 3 && (option == "--test-raw" || option == "--test-gps")) {
    return RunPortTest(facts, option == "--test-raw" ? manager::PortTestMode::kRaw : manager::PortTestMode::kGps,
                       argv[2]);
  }
  if (argc == 1 && platform::HasDisplay()) return RunDialog(argc, argv, facts);
  if (argc == 1) {
    std::fprintf(stderr,
                 "%s: no display to show the window on; use -A or -D to activate or deactivate the driver, "
                 "--test-raw PORT or --test-gps PORT to test a port (--help says more)\n",
                 program.c_str());
    return kExitUsage;
  }
  PrintUsage(stderr, program);
  return kExitUsage;
}
