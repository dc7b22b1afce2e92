// The "Search Surround" dialog on its own, around a given position, so that it can be looked at
// without a GPS receiver: search_dialog_preview FOLDER LAT,LON [LIST] (LIST: the file chosen last,
// preselected). With DW_SCREENSHOT=path it
// searches, selects the first row, saves a picture of itself to path and closes.

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/desktop/desktop.h"
#include "platform/desktop/ui/screenshot.h"
#include "platform/reports/ui/qt_reporter.h"
#include "warner/search/search_command.h"
#include "warner/search/ui/search_dialog.h"

namespace {

// The picture shows the results of a search with the first row chosen.
void ScheduleScreenshot(warner::ui::SearchDialog& dialog) {
  platform::ui::ScheduleScreenshot(
      dialog, 500,
      [&dialog] {
        dialog.SearchButton()->click();
        if (dialog.ResultList()->topLevelItemCount() > 0) {
          dialog.ResultList()->setCurrentItem(dialog.ResultList()->topLevelItem(0));
        }
      },
      [&dialog] { dialog.reject(); });
}

}  // namespace

int main(int argc, char** argv) {
  const auto position = argc == 3 || argc == 4 ? warner::ParseSearchPosition(argv[2]) : std::nullopt;
  if (!position) {
    std::fputs("Usage: search_dialog_preview FOLDER LAT,LON [LIST]\n", stderr);
    return 2;
  }
  if (!platform::HasDisplay()) {
    std::fputs("search_dialog_preview: no display; waypost --search searches without one\n", stderr);
    return 2;
  }
  QApplication app(argc, argv);
  platform::ui::QtReporter reporter;
  warner::WarnerSettings settings;
  settings.ascReadDirPath = settings.ascWriteDirPath = std::string(argv[1]) + "/";
  if (argc == 4) settings.searchSurrASCFile = argv[3];
  gps::GpsFix fix;
  fix.latitude = position->first;
  fix.longitude = position->second;
  fix.fixQuality = 1;
  fix.hour = 12;
  warner::SearchDialogModel model(
      settings, [&fix] { return fix; }, reporter);
  warner::ui::SearchDialog dialog(model);
  reporter.SetParent(&dialog);
  ScheduleScreenshot(dialog);
  dialog.exec();
  return 0;
}
