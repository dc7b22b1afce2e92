#pragma once
// The warner's main window without its widgets: start-up, the activation toggle over a warner
// session with the worker on a thread of its own, the looks of the controls as data, the spins,
// the source controls, the one-second timer's work and the status icon. The Qt window shows what
// this holds and forwards clicks to it.
//
// Threads: every public call comes from the interface thread. The session's events arrive on the
// worker thread; they are queued here, the optional event observer hears them right there, and
// `wake` (also on the worker thread) asks the interface thread to call ProcessWorkerEvents.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/reports/reporter.h"
#include "warner/app/navigation_detector.h"
#include "warner/app/popup_control.h"
#include "warner/core/alarm/sound_test.h"
#include "warner/serial/source_controls.h"
#include "warner/session/warner_session.h"

namespace warner {

// The main window's controls.
enum ControlId : int {
  kIdTerminate = 1000,
  kIdSoundTest = 1001,
  kIdActivate = 1002,
  kIdSearch = 1003,
  kIdMinimize = 1004,
  kIdWriteLog = 1006,
  kIdWindowTest = 1007,
  kIdVersion = 1009,
  kIdSourceMode = 1010,
  kIdSource = 1011,
  kIdBaud = 1012,
  kIdFile = 1013,
  kIdSpeedSpin = 1021,
  kIdAngleSpin = 1022,
  kIdSpeedText = 1023,
  kIdAngleText = 1024,
};

// The platform's own button colour, where a control has none of its own.
inline constexpr uint32_t kSystemButtonColour = 0xFFFFFFFFu;
inline constexpr uint32_t kActiveColour = 0x00FF00u;  // 0xRRGGBB

// How one control looks: its text ("\r" breaks the line), whether it is shown and enabled, and
// its background.
struct ControlLook {
  std::string text;
  bool visible = true;
  bool enabled = true;
  uint32_t background = kSystemButtonColour;

  bool operator==(const ControlLook&) const = default;
};

// What the face is asked to do with the main window.
enum class WindowRequest { kNone, kMinimize, kClose, kToFront };

// The position records and the surroundings search, which live in modules of their own.
struct RecordHooks {
  std::function<void(std::string_view windowName)> appendPositionRecord;  // a tap on a pop-up
  std::function<bool()> toggleTrackLog;                                   // true when logging afterwards
  std::function<void()> runSearchDialog;
};

struct AppServices {
  DesktopAccess desktop;
  // Starts a program with an empty command line without waiting for it; true when it started.
  std::function<bool(const std::string& path)> startProgram;
  // The diagnostic trace; empty (the default) keeps it closed.
  std::function<void(std::string_view text)> trace;
  // Called on the worker thread when ProcessWorkerEvents has work.
  std::function<void()> wake;
  // The announcement window of the sound test; none by default.
  SoundTestWindow* soundTestWindow = nullptr;
};

class MainController final : private SessionObserver {
 public:
  MainController(std::string programFolder, platform::Reporter& reporter, PopupControl& popups, RecordHooks hooks,
                 AppServices services = {});
  MainController(const MainController&) = delete;
  MainController& operator=(const MainController&) = delete;
  ~MainController() override;

  // Hears every session event on the worker thread (the --events printer). While no worker runs.
  void SetEventObserver(SessionObserver* observer) { events_ = observer; }

  // Start-up: settings, database check, navigation search, pop-up windows. The commands the face
  // queues to itself afterwards: AutoSwitch's 1010, 1002, 1004, or 1000 when the pop-up layout
  // cannot be read.
  std::vector<int> Start();
  WindowRequest Command(int id);
  void SpinSpeedLimit(int delta);
  void SpinWatchAngle(int delta);
  void ChooseSource(size_t index, const serial::FileChooser& choose);
  void ChooseBaud(size_t index);
  // The one-second timer; does nothing while the timer is stopped.
  WindowRequest Tick(uint32_t nowMs);
  // The worker's status changes and its end, applied on the interface thread.
  void ProcessWorkerEvents();
  // A press on the tray icon.
  WindowRequest TrayPressed(bool mainWindowInFront);
  // The program closes: the worker is stopped and the main-window values are written. Once.
  void Shutdown();
  // Shutdown's first half: no more commands, and the worker is asked to stop. A face whose
  // message boxes the worker may be waiting for keeps serving them until WorkerEnded().
  void BeginShutdown();
  bool WorkerEnded() const { return workerEnded_; }
  void Trace(std::string_view text) const;

  std::string Title() const;
  std::map<int, ControlLook> Looks() const;
  const serial::SourceControls& Sources() const { return *sourceControls_; }
  StatusIcon CurrentIcon() const { return icon_; }
  bool Active() const { return active_; }
  bool WorkerRunning() const { return worker_.joinable(); }
  bool TimerRunning() const { return timerRunning_; }
  bool WindowsVisible() const { return windowsVisible_; }
  int SpeedLimit() const { return speedLimit_; }
  int WatchAngle() const { return watchAngle_; }
  const NavigationDetector& Navigation() const { return navigation_; }
  // Null before Start.
  const WarnerSession* Session() const { return session_.get(); }
  WarnerSession* Session() { return session_.get(); }

 private:
  // SessionObserver, on the worker thread.
  void Announced(const PoiAnnouncement& announcement) override;
  void SoundPlayed(std::string_view name, std::string_view path) override;
  void SpeedAlarmRaised(double speedKmh) override;
  void MessageFileWritten(std::string_view path, std::string_view line) override;
  void SatelliteSound(bool fix, std::string_view path) override;
  void TrafficMessage(std::string_view logLine) override;
  void StatusChanged(WorkerObserver::Status status) override;
  void SourceNotReady() override;
  void Ended(uint32_t errorCode) override;

  void InitialiseSourceControls();
  void ToggleActivation();
  void Activate();
  void RequestStop();
  void WaitForStop(uint32_t ms);
  void JoinWorker();
  void SetStatusIcon(StatusIcon icon);
  void HandleTap(const PopupTap& tap, WindowRequest& request);
  void Wake() const;

  const std::string folder_;
  platform::Reporter& reporter_;
  PopupControl& popups_;
  const RecordHooks hooks_;
  const AppServices services_;
  NavigationDetector navigation_;
  SessionObserver* events_ = nullptr;
  std::unique_ptr<WarnerSession> session_;
  serial::SourceSelection selection_;
  std::unique_ptr<serial::SourceControls> sourceControls_;

  bool started_ = false;
  bool closing_ = false;
  bool shutDown_ = false;
  bool active_ = false;
  bool timerRunning_ = false;
  bool windowsVisible_ = true;
  bool trackLogOn_ = false;
  bool databaseMissing_ = false;
  StatusIcon icon_ = StatusIcon::kProgram;
  int speedLimit_ = 0;
  int watchAngle_ = 18;

  // Between the worker and the interface thread.
  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable stopChanged_;
  std::atomic<bool> stopFlag_{false};  // the worker-stop flag
  std::atomic<bool> workerEnded_{true};
  std::vector<WorkerObserver::Status> statuses_;
  int announcements_ = 0;
  bool notReady_ = false;
  bool endPending_ = false;
  uint32_t endCode_ = 0;
};

}  // namespace warner
