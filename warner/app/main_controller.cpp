#include "warner/app/main_controller.h"

#include <chrono>
#include <cstdio>
#include <utility>

#include "driver/registry/port_table.h"
#include "platform/paths/paths.h"
#include "platform/process/process.h"
#include "platform/version/version.h"
#include "warner/app/program_mode.h"
#include "warner/app/spins.h"
#include "warner/serial/port_entry.h"

namespace warner {

namespace {

constexpr uint32_t kLongTapMs = 1000;

// The big buttons' own colours (0xRRGGBB); Activate has the system colour until it is active.
constexpr uint32_t kSearchColour = 0xA0C8FFu;
constexpr uint32_t kWriteLogColour = 0xFFF0A0u;
constexpr uint32_t kMinimizeColour = 0xD0D0D0u;
constexpr uint32_t kTerminateColour = 0xFF9090u;
constexpr uint32_t kSourceModeColour = 0xFFC880u;

bool StartDetached(const std::string& path) { return platform::StartProcess(path, {}, false).ok; }

StatusIcon IconOf(WorkerObserver::Status status) {
  switch (status) {
    case WorkerObserver::Status::kSearching: return StatusIcon::kSearching;
    case WorkerObserver::Status::kFix: return StatusIcon::kFix;
    case WorkerObserver::Status::kNoFix: return StatusIcon::kNoFix;
    case WorkerObserver::Status::kInactive: return StatusIcon::kInactive;
  }
  return StatusIcon::kInactive;
}

// The traffic viewer below the program folder.
std::string TrafficViewerPath(const std::string& folder) {
  char path[260];
  std::snprintf(path, sizeof path, "%s\\%s", platform::RemoveTrailingSeparator(folder).c_str(),
                "Jamscope\\Jamscope.exe");
  return platform::ToLinuxPath(path);
}

}  // namespace

MainController::MainController(std::string programFolder, platform::Reporter& reporter, PopupControl& popups,
                               RecordHooks hooks, AppServices services)
    : folder_(std::move(programFolder)),
      reporter_(reporter),
      popups_(popups),
      hooks_(std::move(hooks)),
      services_(std::move(services)),
      navigation_(services_.desktop) {}

MainController::~MainController() { Shutdown(); }

void MainController::Trace(std::string_view text) const {
  if (services_.trace) services_.trace(text);
}

std::vector<int> MainController::Start() {
  if (started_) return {};
  started_ = true;
  Trace("Init Environment...\r\n");
  windowsVisible_ = true;
  SetStatusIcon(StatusIcon::kInactive);

  Trace("Reading Ini Files...\r\n");
  session_ = std::make_unique<WarnerSession>(SessionOptions{folder_, false}, reporter_,
                                             [this](uint32_t ms) { WaitForStop(ms); });
  session_->SetObserver(this);
  const WarnerSettings& settings = session_->Settings();
  session_->SetNavigationCheck(
      [this, wm5 = settings.gpsSourceState == kGpsSourceUseWm5GpsPort] { return navigation_.CheckBeforeRead(wm5); });
  speedLimit_ = settings.speedLimit;
  watchAngle_ = settings.watchAngle;
  databaseMissing_ = !session_->CheckDatabaseFile();
  InitialiseSourceControls();
  navigation_.Detect();

  Trace("Creating Pop Up Windows...\r\n");
  if (!popups_.Create(*session_)) return {kIdTerminate};
  Trace("Constructing finished.\r\n\n");

  std::vector<int> commands;
  const int autoSwitch = settings.autoSwitch;
  if (autoSwitch < 0) commands.push_back(kIdSourceMode);
  if (autoSwitch <= -1 || autoSwitch >= 1) commands.push_back(kIdActivate);
  if (autoSwitch <= -2 || autoSwitch >= 2) commands.push_back(kIdMinimize);
  return commands;
}

void MainController::InitialiseSourceControls() {
  const WarnerSettings& settings = session_->Settings();
  selection_.filePath = settings.sourceFile;
  sourceControls_ = std::make_unique<serial::SourceControls>(selection_, reporter_);
  driver::PortTable table(driver::kWarnerPortTableSize, driver::kWarnerDeviceListChars);
  table.BuildPortTable(reporter_);
  sourceControls_->FillPortCombo(table, false);
  sourceControls_->SelectPortEntry(settings.source);
  sourceControls_->FillBaudCombo();
  sourceControls_->SelectBaud(settings.baudRate);
}

WindowRequest MainController::Command(int id) {
  if (!started_ || closing_) return WindowRequest::kNone;
  switch (id) {
    case kIdActivate: ToggleActivation(); break;
    case kIdSourceMode:
      if (!active_) sourceControls_->ToggleSourceMode();
      break;
    case kIdMinimize: return WindowRequest::kMinimize;
    case kIdTerminate: RequestStop(); return WindowRequest::kClose;
    case kIdWriteLog:
      if (hooks_.toggleTrackLog) trackLogOn_ = hooks_.toggleTrackLog();
      break;
    case kIdSearch:
      if (timerRunning_) popups_.Pause();
      if (hooks_.runSearchDialog) hooks_.runSearchDialog();
      if (timerRunning_) popups_.Resume();
      break;
    case kIdSoundTest:
      if (!WorkerRunning()) {
        SoundTestWindow none;
        SoundTestWindow* window =
            services_.soundTestWindow != nullptr ? services_.soundTestWindow : popups_.SoundTestDisplay();
        session_->RunSoundTest(window != nullptr ? *window : none);
      }
      break;
    case kIdWindowTest: popups_.RunWindowTest(); break;
    default: break;
  }
  return WindowRequest::kNone;
}

void MainController::ToggleActivation() {
  if (active_) {
    // The worker closes the sources and unloads the database on its way out.
    RequestStop();
    active_ = false;
    return;
  }
  // A press while the previous worker is still ending is ignored.
  if (!workerEnded_) return;
  JoinWorker();
  Activate();
}

void MainController::Activate() {
  session_->SetSourceSelection(selection_);
  if (!session_->ActivateDatabase()) return;
  stopFlag_ = false;
  workerEnded_ = false;
  windowsVisible_ = true;
  popups_.ClearCloseTimes();
  SetStatusIcon(StatusIcon::kSearching);
  timerRunning_ = true;
  active_ = true;
  worker_ = std::thread([this, standAlone = selection_.standAlone] {
    const SessionEnd end = session_->RunOnSources(standAlone, stopFlag_);
    session_->UnloadDatabase();
    {
      std::lock_guard lock(mutex_);
      endPending_ = true;
      endCode_ = end.code;  // also the failure to open the sources, said where it happened
    }
    workerEnded_ = true;
    Wake();
  });
}

void MainController::RequestStop() {
  {
    std::lock_guard lock(mutex_);
    stopFlag_ = true;
  }
  stopChanged_.notify_all();
}

void MainController::WaitForStop(uint32_t ms) {
  std::unique_lock lock(mutex_);
  stopChanged_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopFlag_.load(); });
}

void MainController::JoinWorker() {
  if (worker_.joinable()) worker_.join();
}

void MainController::ProcessWorkerEvents() {
  std::vector<WorkerObserver::Status> statuses;
  bool ended = false;
  uint32_t code = 0;
  int announcements = 0;
  bool notReady = false;
  {
    std::lock_guard lock(mutex_);
    statuses.swap(statuses_);
    announcements = std::exchange(announcements_, 0);
    notReady = std::exchange(notReady_, false);
    ended = endPending_;
    code = endCode_;
    endPending_ = false;
  }
  for (WorkerObserver::Status status : statuses) {
    SetStatusIcon(IconOf(status));
    // Data again after the source was not ready: the refresh goes on.
    const bool data = status == WorkerObserver::Status::kFix || status == WorkerObserver::Status::kNoFix;
    if (data && WorkerRunning() && !closing_) timerRunning_ = true;
  }
  if (notReady) {
    timerRunning_ = false;
    popups_.HideAll(false);
  }
  if (announcements > 0 && timerRunning_) popups_.Announced();
  if (!ended) return;
  JoinWorker();
  timerRunning_ = false;
  SetStatusIcon(StatusIcon::kInactive);
  popups_.HideAll(false);
  // The worker's error deactivates; a worker stopped by the user has already left the warner
  // inactive, and a toggle here would start it again.
  if (code != 0) active_ = false;
}

void MainController::SetStatusIcon(StatusIcon icon) {
  if (icon == icon_) return;
  icon_ = icon;
  popups_.SetStatusIcon(icon);
}

WindowRequest MainController::Tick(uint32_t nowMs) {
  if (!timerRunning_) return WindowRequest::kNone;
  popups_.Refresh(nowMs, windowsVisible_);
  WindowRequest request = WindowRequest::kNone;
  for (const PopupTap& tap : popups_.TakeTaps()) HandleTap(tap, request);
  return request;
}

void MainController::HandleTap(const PopupTap& tap, WindowRequest& request) {
  if (tap.windowName == "ANNO" || tap.windowName == "ANDI") return;
  if (tap.heldMs >= kLongTapMs) {
    request = WindowRequest::kToFront;
  } else if (tap.windowName == "TMCS") {
    const auto start = services_.startProgram ? services_.startProgram : StartDetached;
    if (!start(TrafficViewerPath(session_->Settings().programFolder))) return;
    popups_.HideAll(false);
    windowsVisible_ = false;
    session_->PlayKeyStrokeSound();
  } else if (tap.windowName == "PSNT") {
    if (windowsVisible_) popups_.HideAll(true);
    windowsVisible_ = !windowsVisible_;
  } else if (hooks_.appendPositionRecord) {
    hooks_.appendPositionRecord(tap.windowName);
  }
}

WindowRequest MainController::TrayPressed(bool mainWindowInFront) {
  if (mainWindowInFront) return WindowRequest::kNone;
  windowsVisible_ = true;
  return WindowRequest::kToFront;
}

void MainController::SpinSpeedLimit(int delta) {
  if (!session_) return;
  speedLimit_ = SpinStep(speedLimit_, delta, session_->Settings().speedLimitMaximum);
  session_->SetSpeedLimit(speedLimit_);
}

void MainController::SpinWatchAngle(int delta) {
  if (!session_ || !session_->Settings().watchAngleSpinEnabled) return;
  watchAngle_ = SpinStep(watchAngle_, delta, kWatchAngleMaximum);
  session_->SetWatchAngle(watchAngle_);
}

void MainController::ChooseSource(size_t index, const serial::FileChooser& choose) {
  if (sourceControls_ && !active_ && selection_.standAlone) sourceControls_->ChoosePortEntry(index, choose);
}

void MainController::ChooseBaud(size_t index) {
  if (sourceControls_ && !active_ && selection_.standAlone) sourceControls_->ChooseBaudEntry(index);
}

void MainController::BeginShutdown() {
  closing_ = true;
  RequestStop();
  active_ = false;
}

void MainController::Shutdown() {
  if (!started_ || shutDown_) return;
  shutDown_ = true;
  // The worker ends first: at its end it hands back the source selection the file keeps.
  BeginShutdown();
  JoinWorker();
  ProcessWorkerEvents();
  session_->SetSourceSelection(selection_);
  session_->SaveMainWindowValues();
}

std::string MainController::Title() const {
  return NamesOf(session_ ? session_->Settings().mode : ProgramMode::kSentry).title;
}

std::map<int, ControlLook> MainController::Looks() const {
  std::map<int, ControlLook> looks;
  const bool inactive = !active_;
  looks[kIdActivate] = {active_ ? "De-\rActi-\rvate" : "Acti-\rvate", true, true,
                        active_ ? kActiveColour : kSystemButtonColour};
  looks[kIdSearch] = {"Search\rSurr.", true, true, kSearchColour};
  looks[kIdWriteLog] = {trackLogOn_ ? "Stop\rLog" : "Write\rLog", true, active_, kWriteLogColour};
  looks[kIdMinimize] = {"Mini-\rmize", true, true, kMinimizeColour};
  looks[kIdTerminate] = {"Termi-\rnate", inactive, true, kTerminateColour};
  const bool sourcesShown = inactive && sourceControls_ != nullptr;
  const bool sourcesEnabled = sourcesShown && sourceControls_->SourceControlsEnabled();
  looks[kIdSourceMode] = {sourcesShown ? sourceControls_->ModeButtonText() : ">Stand\rAlone", inactive, true,
                          kSourceModeColour};
  looks[kIdSource] = {"Source", inactive, sourcesEnabled};
  looks[kIdBaud] = {"Baud", inactive, sourcesEnabled};
  looks[kIdFile] = {"File: " + (sourceControls_ ? sourceControls_->FileNameText() : std::string()), inactive,
                    sourcesShown && sourceControls_->FileControlEnabled()};
  const WarnerSettings* settings = session_ ? &session_->Settings() : nullptr;
  const bool speedEnabled = settings != nullptr && settings->speedsToAverage >= 1;
  const bool angleEnabled = settings != nullptr && settings->watchAngleSpinEnabled;
  const std::string speedText = settings != nullptr ? SpeedLimitText(speedLimit_, settings->speedLimitDimension) : "";
  looks[kIdSpeedSpin] = {"Sp.Lim.", true, speedEnabled};
  looks[kIdSpeedText] = {speedText, true, speedEnabled};
  looks[kIdAngleSpin] = {"Snt.Ang.", true, angleEnabled};
  looks[kIdAngleText] = {WatchAngleText(watchAngle_), true, angleEnabled};
  const bool soundTestShown = !(databaseMissing_ && settings != nullptr && settings->speedsToAverage == 0);
  looks[kIdSoundTest] = {"T.Snd", inactive && soundTestShown, true};
  looks[kIdWindowTest] = {"T.Wnd", inactive && popups_.Exists(), true};
  looks[kIdVersion] = {"V " + platform::ProgramVersionText(), true, true};
  return looks;
}

void MainController::Wake() const {
  if (services_.wake) services_.wake();
}

// Session events, on the worker thread.

void MainController::Announced(const PoiAnnouncement& announcement) {
  if (events_ != nullptr) events_->Announced(announcement);
  {
    std::lock_guard lock(mutex_);
    ++announcements_;
  }
  Wake();
}

void MainController::SoundPlayed(std::string_view name, std::string_view path) {
  if (events_ != nullptr) events_->SoundPlayed(name, path);
}

void MainController::SpeedAlarmRaised(double speedKmh) {
  if (events_ != nullptr) events_->SpeedAlarmRaised(speedKmh);
}

void MainController::MessageFileWritten(std::string_view path, std::string_view line) {
  if (events_ != nullptr) events_->MessageFileWritten(path, line);
}

void MainController::SatelliteSound(bool fix, std::string_view path) {
  if (events_ != nullptr) events_->SatelliteSound(fix, path);
}

void MainController::TrafficMessage(std::string_view logLine) {
  if (events_ != nullptr) events_->TrafficMessage(logLine);
}

void MainController::StatusChanged(WorkerObserver::Status status) {
  if (events_ != nullptr) events_->StatusChanged(status);
  {
    std::lock_guard lock(mutex_);
    statuses_.push_back(status);
  }
  Wake();
}

void MainController::SourceNotReady() {
  if (events_ != nullptr) events_->SourceNotReady();
  {
    std::lock_guard lock(mutex_);
    notReady_ = true;
  }
  Wake();
}

void MainController::Ended(uint32_t errorCode) {
  if (events_ != nullptr) events_->Ended(errorCode);
}

}  // namespace warner
