#pragma once
// The GPS track log behind the "Write\rLog" button: the user names a file, the decoders copy what
// they receive into it (see gps::GpsLogSink) until the button is pressed again.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/clock/clock.h"
#include "platform/reports/reporter.h"
#include "warner/gps/gps_log.h"

namespace warner {

// One entry of the save dialog's file type list.
struct SaveFileFilter {
  const char* label;
  const char* pattern;
};

// What the save dialog shows.
inline constexpr const char* kTrackLogDialogTitle = "GPS Log File";
inline constexpr SaveFileFilter kTrackLogFilters[] = {{"GPS Log File (*.txt)", "*.txt"}, {"All Files (*.*)", "*.*"}};
// The button's texts and the background colour (0x00BBGGRR) while a log is written.
inline constexpr const char* kWriteLogText = "Write\rLog";
inline constexpr const char* kStopLogText = "Stop\rLog";
inline constexpr uint32_t kLogRunningColour = 0x00FF00;
// The longest path the log keeps.
inline constexpr size_t kTrackLogPathMax = 260;

// The name proposed for a new log from the local time: "\My Documents\GPSLogs\LYYMMDD_hhmm".
std::string ProposedTrackLogPath(const platform::SystemTime& localNow);

// The save dialog as the track log asks it: title, filters and proposed path above; the chosen
// path in the programs' form (a Linux path is one too), or nothing when the user cancels.
using TrackLogSaveDialog = std::function<std::optional<std::string>(const std::string& proposedPath)>;

// The "Write\rLog" / "Stop\rLog" command on the interface thread; the decoders write through the
// same sink on the worker thread. The log stays open across activations.
class TrackLog {
 public:
  // pausePopUps(true) before the dialog, pausePopUps(false) after it (may be empty).
  TrackLog(gps::GpsLogSink& sink, platform::Reporter& reporter, std::function<void(bool paused)> pausePopUps = {});

  // Closes an open log; otherwise asks for a file and opens it, saying "Can't open the file
  // '%s'\n" when it cannot be created. True when a log is open afterwards.
  bool ToggleTrackLog(const platform::SystemTime& localNow, const TrackLogSaveDialog& askPath);

  bool IsOpen() const { return sink_.IsOpen(); }
  // The path of the open log (programs' form); empty when none is open.
  std::string Path() const { return sink_.Path(); }
  const char* ButtonText() const { return IsOpen() ? kStopLogText : kWriteLogText; }
  // The button's background: the running colour, or nothing for the system's button colour.
  std::optional<uint32_t> ButtonColour() const;

 private:
  bool Open(const std::string& path);

  gps::GpsLogSink& sink_;
  platform::Reporter& reporter_;
  std::function<void(bool paused)> pausePopUps_;
};

}  // namespace warner
