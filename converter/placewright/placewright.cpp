// placewright: edits the converter's configuration as a table and runs placeforge on it; without a
// display, loads a configuration and saves it again or converts it from the command line.

#include <QApplication>
#include <QPointer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "converter/editor/config_editor.h"
#include "converter/editor/ui/config_editor_dialog.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/ui/screenshot.h"
#include "platform/paths/paths.h"
#include "platform/reports/console_reporter.h"
#include "platform/reports/ui/qt_reporter.h"
#include "platform/text/text.h"
#include "platform/version/version.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintUsage(FILE* out, const std::string& program) {
  std::fprintf(out,
               "Usage: %s [--load IN (--save OUT | --convert [--folder DIR])] | --help\n"
               "  (no arguments)        open the editor window\n"
               "  --load IN --save OUT  read the configuration IN and write it to OUT as the editor does\n"
               "  --load IN --convert   write it as Placewright.txt beside the program (or in DIR, where\n"
               "                        the outputs go too), run placeforge on it and print its log\n",
               program.c_str());
}

struct CommandLine {
  bool help = false;
  bool valid = true;
  std::string load;
  std::string save;
  bool convert = false;
  std::string folder;
};

CommandLine ParseArguments(int argc, char** argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      line.help = true;
    } else if (arg == "--convert") {
      line.convert = true;
    } else if (hasValue && arg == "--load") {
      line.load = argv[++i];
    } else if (hasValue && arg == "--save") {
      line.save = argv[++i];
    } else if (hasValue && arg == "--folder") {
      line.folder = argv[++i];
    } else {
      line.valid = false;
    }
  }
  const bool oneAction = line.save.empty() != !line.convert;
  if (argc > 1 && !line.help && (line.load.empty() || !oneAction || (!line.folder.empty() && !line.convert))) {
    line.valid = false;
  }
  return line;
}

// placeforge beside the program, or in its own folder of the build tree.
std::string ConverterPath(const std::string& programFolder) {
  std::string beside = programFolder + "placeforge";
  if (platform::FileExists(beside)) return beside;
  std::string built = programFolder + "../placeforge/placeforge";
  return platform::FileExists(built) ? built : beside;
}

converter::editor::EditorPlaces Places(const std::string& folder) {
  const std::string programFolder = platform::ProgramFolder();
  std::string base = programFolder;
  if (!folder.empty()) {
    base = std::filesystem::absolute(folder).lexically_normal().string();
    if (base.back() != '/') base += '/';
    platform::CreateFolders(base);  // when that fails, writing the configuration there says so
  }
  return {base, ConverterPath(programFolder)};
}

int RunCommandLine(const CommandLine& line) {
  platform::ConsoleReporter reporter(false);
  converter::editor::ConfigEditor editor(Places(line.folder), reporter, {});
  if (!editor.LoadFrom(line.load)) return kExitFailure;
  if (!line.convert) return editor.SaveTo(line.save) ? 0 : kExitFailure;
  const bool done = editor.Convert();
  std::printf("%s", platform::TerminalSafe(editor.ConverterLog(), "\n\t").c_str());
  return done ? 0 : kExitFailure;
}

// DW_SCREENSHOT_LOAD=config: the configuration the picture shows.
void ScheduleScreenshot(converter::editor::ui::ConfigEditorDialog& dialog, converter::editor::ConfigEditor& editor) {
  const char* config = std::getenv("DW_SCREENSHOT_LOAD");
  if (std::getenv("DW_SCREENSHOT") != nullptr && config != nullptr) {
    editor.LoadFrom(config);
    dialog.Refresh();
  }
  platform::ui::ScheduleScreenshot(dialog, 500, {}, [&dialog] { dialog.done(0); });
}

int RunDialog(int argc, char** argv) {
  QApplication app(argc, argv);
  platform::ui::QtReporter reporter;
  QPointer<QWidget> window;
  converter::editor::ConfigEditor editor(Places({}), reporter, converter::editor::ui::QtFileChooser(window));
  converter::editor::ui::ConfigEditorDialog dialog(editor, reporter, platform::FileNamePart(argv[0]),
                                                   platform::ProgramVersionText());
  window = &dialog;
  reporter.SetParent(&dialog);
  ScheduleScreenshot(dialog, editor);
  dialog.exec();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = platform::FileNamePart(argv[0]);
  const CommandLine line = ParseArguments(argc, argv);
  if (line.help) {
    PrintUsage(stdout, program);
    return 0;
  }
  if (!line.valid) {
    PrintUsage(stderr, program);
    return kExitUsage;
  }
  if (!line.load.empty()) return RunCommandLine(line);
  if (platform::HasDisplay()) return RunDialog(argc, argv);
  std::fprintf(stderr,
               "%s: no display to show the window on; use --load IN --save OUT or --load IN --convert "
               "(--help says more)\n",
               program.c_str());
  return kExitUsage;
}
