#include "warner/search/search_dialog_model.h"

#include <algorithm>

#include "platform/numbers/lenient_number.h"
#include "platform/reports/reporter.h"

namespace warner {

namespace {

constexpr int kGap = 3;

void Note(std::vector<std::string>* notes, const char* what, const LayoutRect& from) {
  if (notes == nullptr) return;
  notes->push_back(what + platform::FormatMessage520("\r\nFrom x %d, y %d, Width %d, Height %d ", from.x, from.y,
                                                     from.width, from.height));
}

}  // namespace

SearchDialogModel::SearchDialogModel(WarnerSettings& settings, std::function<gps::GpsFix()> currentFix,
                                     platform::Reporter& reporter)
    : settings_(settings), currentFix_(std::move(currentFix)), reporter_(reporter) {}

void SearchDialogModel::Open() {
  files_ = FillAscFileList(settings_.ascReadDirPath, settings_.searchSurrASCFile, reporter_);
  radius_ = kDefaultRadiusIndex;
  rows_.clear();
  row_ = -1;
}

void SearchDialogModel::SelectFile(int index) {
  files_.selected = index >= 0 && index < static_cast<int>(files_.names.size()) ? index : -1;
}

void SearchDialogModel::SelectRadius(int index) {
  if (index >= 0 && index < static_cast<int>(std::size(kSearchRadii))) radius_ = index;
}

int SearchDialogModel::Search(const std::function<void(bool busy)>& busy) {
  rows_.clear();
  row_ = -1;
  if (files_.selected < 0) return 0;
  const double radiusKm = platform::ReadLeadingReal(kSearchRadii[radius_], platform::kIniNumbers).value;
  if (busy) busy(true);
  rows_ = SearchSurround(settings_.ascReadDirPath, files_.names[static_cast<size_t>(files_.selected)], currentFix_(),
                         radiusKm, reporter_);
  if (busy) busy(false);
  return static_cast<int>(rows_.size());
}

void SearchDialogModel::SelectRow(int index) {
  row_ = index >= 0 && index < static_cast<int>(rows_.size()) ? index : -1;
}

bool SearchDialogModel::TakeSelectedRow() {
  if (row_ < 0) return false;
  if (files_.selected >= 0) settings_.searchSurrASCFile = files_.names[static_cast<size_t>(files_.selected)];
  WriteFavourite(settings_.ascWriteDirPath, settings_.mode, rows_[static_cast<size_t>(row_)], reporter_);
  return true;
}

SearchDialogLayout ArrangeSearchDialog(const SearchDialogLayout& templateLayout, int clientWidth, int clientHeight,
                                       int screenWidth, int screenHeight, std::vector<std::string>* notes) {
  if (screenWidth < screenHeight) return templateLayout;
  SearchDialogLayout layout = templateLayout;
  int top = kGap;
  const auto stack = [&](LayoutRect& button, const LayoutRect& from, const char* note) {
    Note(notes, note, from);
    button.x = clientWidth - kGap - button.width;
    button.y = top;
    top += button.height + kGap;
  };
  stack(layout.search, templateLayout.search, "Moving Button Search");
  stack(layout.ok, templateLayout.ok, "Moving Button OK");
  stack(layout.cancel, templateLayout.cancel, "Moving Button Cancel");
  Note(notes, "Resizing the List", templateLayout.list);
  const int buttonsLeft = std::min({layout.search.x, layout.ok.x, layout.cancel.x});
  layout.list.height = clientHeight - kGap - layout.list.y;
  layout.list.width = std::min(layout.list.width, buttonsLeft - kGap - layout.list.x);
  return layout;
}

}  // namespace warner
