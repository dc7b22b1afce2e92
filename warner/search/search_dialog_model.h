#pragma once
// What the "Search Surround" dialog holds and decides, without Qt: the file list, the radius list,
// the rows, which buttons are enabled, and taking a row as the favourite. The dialog shows this
// state and forwards each click.

#include <functional>
#include <string>
#include <vector>

#include "platform/reports/reporter.h"
#include "warner/core/settings/warner_settings.h"
#include "warner/gps/gps_fix.h"
#include "warner/search/search_surround.h"

namespace warner {

class SearchDialogModel {
 public:
  // settings: ASCReadDirPath, ASCWriteDirPath, the mode, and SearchSurrASCFile, which a taken row
  // updates. currentFix gives a consistent copy of the fix (the decoder's Snapshot).
  SearchDialogModel(WarnerSettings& settings, std::function<gps::GpsFix()> currentFix, platform::Reporter& reporter);

  // Opening the dialog: fills the file list (saying when it is empty), preselects the last file
  // and the radius "10", clears the rows.
  void Open();

  const std::vector<std::string>& Files() const { return files_.names; }
  int SelectedFile() const { return files_.selected; }
  void SelectFile(int index);
  int SelectedRadius() const { return radius_; }
  void SelectRadius(int index);
  bool SearchEnabled() const { return !files_.names.empty(); }

  // The "Search" button: `busy(true)` before the list is read (disable Search and Cancel, wait
  // cursor) and `busy(false)` after it. Returns the number of rows.
  int Search(const std::function<void(bool busy)>& busy = {});
  const std::vector<SurroundRow>& Rows() const { return rows_; }
  void SelectRow(int index);
  int SelectedRow() const { return row_; }
  bool OkEnabled() const { return row_ >= 0; }

  // The "OK" button: stores the file's name as SearchSurrASCFile and writes the selected row as
  // the favourite (a failure is said). The dialog closes afterwards in every case; false when
  // there was no row to take.
  bool TakeSelectedRow();

 private:
  WarnerSettings& settings_;
  std::function<gps::GpsFix()> currentFix_;
  platform::Reporter& reporter_;
  AscFileList files_;
  int radius_ = kDefaultRadiusIndex;
  std::vector<SurroundRow> rows_;
  int row_ = -1;
};

// Where the dialog's controls go, in pixels of the dialog's client area.
struct LayoutRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const LayoutRect&) const = default;
};
struct SearchDialogLayout {
  LayoutRect list, search, ok, cancel;
};
// On a screen at least as wide as high the three buttons stack at the right edge, 3 pixels from
// it and from each other (Search, OK, Cancel from the top), the list reaches down to 3 pixels above
// the bottom and, where the buttons would cover it, ends 3 pixels before them. In portrait the
// template stands. `notes` receives the start-up log's lines for each move.
SearchDialogLayout ArrangeSearchDialog(const SearchDialogLayout& templateLayout, int clientWidth, int clientHeight,
                                       int screenWidth, int screenHeight, std::vector<std::string>* notes = nullptr);

}  // namespace warner
