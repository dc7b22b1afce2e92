#pragma once
// The "Search Surround" dialog: shows a SearchDialogModel and forwards the clicks to it.

#include <QDialog>
#include <cmath>
#include <functional>
#include <string>

#include "warner/search/search_dialog_model.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace warner::ui {

class SearchDialog final : public QDialog {
  Q_OBJECT

 public:
  // Opens the model (filling the file list, which may say that there is no file). `screen` is the
  // screen's size in pixels (empty: the primary screen's), which decides the layout; the moves of
  // the landscape layout go to `startupLog` when the warner's start-up log is open.
  explicit SearchDialog(SearchDialogModel& model, QWidget* parent = nullptr, QSize screen = {},
                        const std::function<void(const std::string&)>& startupLog = {});

  QComboBox* FileList() const { return files_; }
  QComboBox* RadiusList() const { return radii_; }
  QTreeWidget* ResultList() const { return results_; }
  QPushButton* SearchButton() const { return search_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  void ScaleFont(QSize screen);
  int Scaled(int pixels) const { return static_cast<int>(std::lround(pixels * fontScale_)); }
  void PlaceControls(QSize screen, const std::function<void(const std::string&)>& startupLog);
  void Search();
  void ShowRows();
  void SetBusy(bool busy);
  void TakeRow();

  SearchDialogModel& model_;
  QLabel* fileLabel_;
  QComboBox* files_;
  QLabel* radiusLabel_;
  QComboBox* radii_;
  QTreeWidget* results_;
  QPushButton* search_;
  QPushButton* ok_;
  QPushButton* cancel_;
  double fontScale_ = 1.0;
};

}  // namespace warner::ui
