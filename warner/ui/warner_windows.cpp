#include "warner/ui/warner_windows.h"

#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

#include "platform/clock/clock.h"
#include "platform/paths/paths.h"
#include "warner/display/ui/popup_windows.h"
#include "warner/records/position_records.h"
#include "warner/search/ui/search_dialog.h"

namespace warner::ui {

namespace {

// The pop-up windows on screen.
class QtPopupSurface final : public PopupSurface {
 public:
  QtPopupSurface(display::PopupSet& set, platform::Reporter& reporter) : windows_(set, reporter, {}) {}
  int Create() override { return windows_.Create(); }
  void Apply(const std::vector<display::PopupUpdate>& updates) override { windows_.Apply(updates); }
  void RunWindowTest(std::function<display::DisplayInputs()> inputs) override {
    windows_.RunWindowTest(std::move(inputs));
  }

 private:
  display::ui::PopupWindows windows_;
};

QString SaveDialogFilters() {
  QStringList filters;
  for (const SaveFileFilter& filter : kTrackLogFilters) filters << QString::fromUtf8(filter.label);
  return filters.join(";;");
}

}  // namespace

WarnerWindows::WarnerWindows(const std::string& programFolder, platform::Reporter& reporter, SessionObserver* events,
                             TrackLogSaveDialog saveDialog)
    : reporter_(reporter),
      popups_(reporter,
              [&reporter](display::PopupSet& set) { return std::make_unique<QtPopupSurface>(set, reporter); }),
      saveDialog_(std::move(saveDialog)),
      window_(std::make_unique<MainWindow>(programFolder, reporter, popups_, Hooks(), events)) {}

// The main window's controller ends the worker before the pop-ups and the track log go.
WarnerWindows::~WarnerWindows() { window_.reset(); }

RecordHooks WarnerWindows::Hooks() {
  return {[this](std::string_view /*windowName*/) { AppendRecord(); }, [this] { return ToggleTrackLog(); },
          [this] { RunSearchDialog(); }};
}

void WarnerWindows::AppendRecord() {
  WarnerSession* session = window_->Controller().Session();
  if (session == nullptr) return;
  AppendPositionRecord(session->Decoder(), {session->Settings(), session->Player(), reporter_, "waypost"});
}

bool WarnerWindows::ToggleTrackLog() {
  WarnerSession* session = window_->Controller().Session();
  if (session == nullptr) return false;
  if (!trackLog_) {
    trackLog_ = std::make_unique<TrackLog>(session->GpsLog(), reporter_,
                                           [this](bool paused) { paused ? popups_.Pause() : popups_.Resume(); });
  }
  return trackLog_->ToggleTrackLog(platform::GetLocalTime(),
                                   [this](const std::string& proposed) { return AskTrackLogPath(proposed); });
}

std::optional<std::string> WarnerWindows::AskTrackLogPath(const std::string& proposed) {
  if (saveDialog_) return saveDialog_(proposed);
  const QString chosen =
      QFileDialog::getSaveFileName(window_.get(), QString::fromUtf8(kTrackLogDialogTitle),
                                   QString::fromStdString(platform::ToLinuxPath(proposed)), SaveDialogFilters());
  return chosen.isEmpty() ? std::nullopt : std::optional<std::string>(chosen.toStdString());
}

void WarnerWindows::RunSearchDialog() {
  WarnerSession* session = window_->Controller().Session();
  if (session == nullptr) return;
  SearchDialogModel model(
      session->MainWindowSettings(), [session] { return session->Decoder().Snapshot(); }, reporter_);
  SearchDialog dialog(model, window_.get());
  dialog.exec();
}

}  // namespace warner::ui
