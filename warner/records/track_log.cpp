#include "warner/records/track_log.h"

#include <cstdio>

#include "platform/errors/errors.h"
#include "platform/paths/paths.h"

namespace warner {

namespace {

constexpr const char* kTrackLogFolder = "\\My Documents\\GPSLogs";

}  // namespace

std::string ProposedTrackLogPath(const platform::SystemTime& localNow) {
  char name[32];
  std::snprintf(name, sizeof name, "L%02d%02d%02d_%02d%02d", localNow.year % 100, localNow.month, localNow.day,
                localNow.hour, localNow.minute);
  return platform::JoinPath(kTrackLogFolder, name);
}

TrackLog::TrackLog(gps::GpsLogSink& sink, platform::Reporter& reporter, std::function<void(bool paused)> pausePopUps)
    : sink_(sink), reporter_(reporter), pausePopUps_(std::move(pausePopUps)) {}

bool TrackLog::ToggleTrackLog(const platform::SystemTime& localNow, const TrackLogSaveDialog& askPath) {
  if (IsOpen()) {
    sink_.GpsLogClose();
    return false;
  }
  if (pausePopUps_) pausePopUps_(true);
  const std::string proposed = ProposedTrackLogPath(localNow);
  // The dialog opens in the proposed folder only when it exists.
  platform::CreateFolders(kTrackLogFolder);
  const std::optional<std::string> chosen = askPath(proposed);
  if (chosen) Open(*chosen);
  if (pausePopUps_) pausePopUps_(false);
  return IsOpen();
}

std::optional<uint32_t> TrackLog::ButtonColour() const {
  if (!IsOpen()) return std::nullopt;
  return kLogRunningColour;
}

bool TrackLog::Open(const std::string& path) {
  if (path.size() > kTrackLogPathMax) {
    platform::SetLastError(platform::kErrorFilenameExcedRange);
  } else if (sink_.SetPath(path) && sink_.GpsLogOpen()) {
    return true;
  }
  const uint32_t error = platform::GetLastError();
  sink_.GpsLogClose();
  reporter_.ErrorCode(error, "Can't open the file '%s'\n", path.c_str());
  return false;
}

}  // namespace warner
