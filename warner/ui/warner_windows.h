#pragma once
// Every window of the warner put together: the main window, the pop-up windows of the layout
// file, and what the main window's buttons and the taps open (position records, the track log,
// the surroundings search).

#include <memory>
#include <optional>
#include <string>

#include "platform/reports/reporter.h"
#include "warner/app/session_popups.h"
#include "warner/records/track_log.h"
#include "warner/ui/main_window.h"

namespace warner::ui {

class WarnerWindows {
 public:
  // `events` (may be null) hears every session event on the worker thread; `saveDialog` asks for
  // the track log's file (empty: the platform's save dialog).
  WarnerWindows(const std::string& programFolder, platform::Reporter& reporter, SessionObserver* events = nullptr,
                TrackLogSaveDialog saveDialog = {});
  WarnerWindows(const WarnerWindows&) = delete;
  WarnerWindows& operator=(const WarnerWindows&) = delete;
  ~WarnerWindows();

  MainWindow& Main() { return *window_; }
  SessionPopups& Popups() { return popups_; }

 private:
  RecordHooks Hooks();
  void AppendRecord();
  bool ToggleTrackLog();
  std::optional<std::string> AskTrackLogPath(const std::string& proposed);
  void RunSearchDialog();

  platform::Reporter& reporter_;
  SessionPopups popups_;
  TrackLogSaveDialog saveDialog_;
  std::unique_ptr<TrackLog> trackLog_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace warner::ui
