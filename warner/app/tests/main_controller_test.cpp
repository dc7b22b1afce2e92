#include "warner/app/main_controller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/system_root.h"
#include "warner/app/spins.h"

namespace warner {
namespace {

namespace fs = std::filesystem;

// The pop-up windows as the controller drives them: every call is recorded.
class FakePopups final : public PopupControl {
 public:
  bool Create(WarnerSession&) override { return createOk; }
  bool Exists() const override { return exists; }
  void Refresh(uint32_t, bool) override { ++refreshes; }
  void HideAll(bool keepStatus) override { hides.push_back(keepStatus); }
  void ClearCloseTimes() override {}
  void Announced() override { ++announcements; }
  void SetStatusIcon(StatusIcon icon) override { icons.push_back(icon); }
  std::vector<PopupTap> TakeTaps() override { return std::exchange(taps, {}); }
  void RunWindowTest() override {}
  void Pause() override {}
  void Resume() override {}

  bool createOk = true;
  bool exists = true;
  int refreshes = 0;
  int announcements = 0;
  std::vector<bool> hides;
  std::vector<StatusIcon> icons;
  std::vector<PopupTap> taps;
};

struct SoundRecorder final : SessionObserver {
  void SoundPlayed(std::string_view name, std::string_view) override {
    std::lock_guard lock(mutex);
    sounds.emplace_back(name);
  }
  std::mutex mutex;
  std::vector<std::string> sounds;
};

// A log of `fixes` repeated fixes, replayed at 4800 baud: about 0.3 s per fix.
std::string DriveLog(int fixes) {
  std::string log;
  for (int i = 0; i < fixes; ++i) {
    log +=
        "$GPGGA,073000.000,4803.0000,N,01124.0000,E,1,08,0.9,520.0,M,0.0,M,,*67\r\n"
        "$GPRMC,073000.000,A,4803.0000,N,01124.0000,E,0.00,46.9,150626,,,A*6E\r\n";
  }
  return log;
}

// A warner folder without a database (accepted) whose GPS source is a replayed log file.
class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteGlobals(""); }

  void WriteGlobals(const std::string& extra, int fixes = 40) {
    platform::testing::WriteFile(folder_ / "drive.nmea", DriveLog(fixes));
    platform::testing::WriteFile(folder_ / "SntGlobals.ini", "LogSntFileMissing = 0\nUseGPSPort = " +
                                                                 (folder_ / "drive.nmea").string() + "\n" + extra);
  }

  MainController& Make(AppServices services = {}) {
    services.trace = [this](std::string_view text) { trace_ += text; };
    RecordHooks hooks{[this](std::string_view name) { records_.emplace_back(name); }, [] { return true; }, {}};
    controller_ = std::make_unique<MainController>(folder_.string(), reporter_, popups_, hooks, services);
    controller_->SetEventObserver(&sounds_);
    return *controller_;
  }

  // Lets the worker end, as the face's queued calls would.
  void WaitForWorker(MainController& controller) {
    for (int i = 0; i < 200 && controller.WorkerRunning(); ++i) {
      controller.ProcessWorkerEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_FALSE(controller.WorkerRunning());
  }

  const platform::testing::TempSystemRoot system_;
  const platform::testing::ScopedEnv sound_{"DW_SOUND", "null"};
  const fs::path folder_ = system_.Folder() / "warner";
  platform::ScriptedReporter reporter_;
  FakePopups popups_;
  SoundRecorder sounds_;
  std::vector<std::string> records_;
  std::string trace_;
  std::unique_ptr<MainController> controller_;
};

TEST_F(ControllerTest, StartUpTracesItsStepsAndQueuesTheAutoSwitchCommands) {
  struct Case {
    int autoSwitch;
    bool layoutOk;
    std::vector<int> commands;
  };
  const Case cases[] = {
      {0, true, {}},
      {1, true, {kIdActivate}},
      {2, true, {kIdActivate, kIdMinimize}},
      {-1, true, {kIdSourceMode, kIdActivate}},
      {-2, true, {kIdSourceMode, kIdActivate, kIdMinimize}},
      {1, false, {kIdTerminate}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.autoSwitch);
    WriteGlobals("AutoSwitch = " + std::to_string(c.autoSwitch) + "\n");
    popups_.createOk = c.layoutOk;
    trace_.clear();
    MainController& controller = Make();
    EXPECT_EQ(controller.Start(), c.commands);
    const std::string finished = c.layoutOk ? "Constructing finished.\r\n\n" : "";
    EXPECT_EQ(trace_, "Init Environment...\r\nReading Ini Files...\r\nCreating Pop Up Windows...\r\n" + finished);
    EXPECT_EQ(controller.CurrentIcon(), StatusIcon::kInactive);
    EXPECT_EQ(controller.Title(), "POI Sentry");
  }
  // Without a trace sink nothing is traced and nothing breaks.
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(ControllerTest, LooksFollowTheActivation) {
  WriteGlobals("SpeedsToAverage = 0\nLogSntFileMissing = 1\n");
  reporter_.QueueAnswer(true);  // the start-up OK box of the missing database
  popups_.exists = false;
  MainController& controller = Make();
  controller.Start();
  auto looks = controller.Looks();
  EXPECT_EQ(looks[kIdActivate], (ControlLook{"Acti-\rvate", true, true, kSystemButtonColour}));
  EXPECT_TRUE(looks[kIdTerminate].visible);
  EXPECT_TRUE(looks[kIdSourceMode].visible);
  EXPECT_EQ(looks[kIdSourceMode].text, ">Stand\rAlone");
  EXPECT_FALSE(looks[kIdSource].enabled) << "virtual mode";
  EXPECT_FALSE(looks[kIdWriteLog].enabled);
  EXPECT_FALSE(looks[kIdWindowTest].visible) << "no pop-up windows";
  EXPECT_FALSE(looks[kIdSoundTest].visible) << "no database and no speed alarm";
  EXPECT_FALSE(looks[kIdSpeedText].enabled);

  controller.Command(kIdSourceMode);
  looks = controller.Looks();
  EXPECT_EQ(looks[kIdSourceMode].text, "<Ser-\rcast");
  EXPECT_TRUE(looks[kIdSource].enabled);
  controller.Command(kIdSourceMode);
}

TEST_F(ControllerTest, ActivationTogglesAndIgnoresASecondPressWhileTheWorkerEnds) {
  MainController& controller = Make();
  controller.Start();
  controller.Command(kIdActivate);
  ASSERT_TRUE(controller.Active());
  auto looks = controller.Looks();
  EXPECT_EQ(looks[kIdActivate], (ControlLook{"De-\rActi-\rvate", true, true, kActiveColour}));
  for (int id : {kIdTerminate, kIdSourceMode, kIdSource, kIdBaud, kIdFile, kIdSoundTest, kIdWindowTest}) {
    EXPECT_FALSE(looks[id].visible) << id;
  }
  EXPECT_TRUE(looks[kIdWriteLog].enabled);

  controller.Command(kIdActivate);  // deactivate: the paced replay takes a moment to end
  EXPECT_FALSE(controller.Active());
  EXPECT_TRUE(controller.WorkerRunning());
  controller.Command(kIdActivate);  // ignored while it ends
  EXPECT_FALSE(controller.Active());
  WaitForWorker(controller);
  EXPECT_FALSE(controller.Active()) << "a stop by the user must not toggle it back on";
  EXPECT_EQ(controller.CurrentIcon(), StatusIcon::kInactive);

  controller.Command(kIdActivate);  // the previous worker has ended: a new activation
  EXPECT_TRUE(controller.Active());
  controller.Shutdown();
  EXPECT_FALSE(controller.WorkerRunning());
}

TEST_F(ControllerTest, TheWorkersErrorDeactivates) {
  WriteGlobals("", 1);  // the log ends after one fix: error 38
  MainController& controller = Make();
  controller.Start();
  controller.Command(kIdActivate);
  ASSERT_TRUE(controller.Active());
  WaitForWorker(controller);
  EXPECT_FALSE(controller.Active());
  EXPECT_FALSE(controller.TimerRunning());
  ASSERT_FALSE(popups_.icons.empty());
  EXPECT_EQ(popups_.icons.back(), StatusIcon::kInactive);
  EXPECT_NE(std::find(popups_.icons.begin(), popups_.icons.end(), StatusIcon::kFix), popups_.icons.end());
  for (size_t i = 1; i < popups_.icons.size(); ++i) EXPECT_NE(popups_.icons[i], popups_.icons[i - 1]);
  EXPECT_FALSE(popups_.hides.empty());
}

TEST_F(ControllerTest, TapsOnThePopUps) {
  struct Case {
    const char* name;
    uint32_t heldMs;
    bool viewerStarts;
    WindowRequest request;
    bool windowsVisible;
    std::vector<bool> hides;
    std::vector<std::string> records;
    std::vector<std::string> sounds;
  };
  const Case cases[] = {
      {"SPED", 200, true, WindowRequest::kNone, true, {}, {"SPED"}, {}},
      {"SPED", 1000, true, WindowRequest::kToFront, true, {}, {}, {}},
      {"PSNT", 999, true, WindowRequest::kNone, false, {true}, {}, {}},
      {"TMCS", 100, true, WindowRequest::kNone, false, {false}, {}, {""}},
      {"TMCS", 100, false, WindowRequest::kNone, true, {}, {}, {}},
      {"ANNO", 100, true, WindowRequest::kNone, true, {}, {}, {}},
  };
  std::vector<std::string> started;
  bool viewerStarts = true;
  AppServices services;
  services.startProgram = [&](const std::string& path) {
    started.push_back(path);
    return viewerStarts;
  };
  MainController& controller = Make(services);
  controller.Start();
  controller.Command(kIdActivate);
  ASSERT_TRUE(controller.TimerRunning());
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.heldMs));
    viewerStarts = c.viewerStarts;
    popups_.hides.clear();
    records_.clear();
    {
      std::lock_guard lock(sounds_.mutex);
      sounds_.sounds.clear();
    }
    if (!controller.WindowsVisible()) controller.TrayPressed(false);
    popups_.taps = {{c.name, c.heldMs}};
    EXPECT_EQ(controller.Tick(1000), c.request);
    EXPECT_EQ(controller.WindowsVisible(), c.windowsVisible);
    EXPECT_EQ(popups_.hides, c.hides);
    EXPECT_EQ(records_, c.records);
    std::lock_guard lock(sounds_.mutex);
    EXPECT_EQ(sounds_.sounds, c.sounds) << "the key sound, KeyStrokeWAVFile being empty";
  }
  EXPECT_EQ(started.size(), 2u);
  EXPECT_EQ(started.front(), (folder_ / "Jamscope/Jamscope.exe").string());
  EXPECT_EQ(controller.TrayPressed(true), WindowRequest::kNone);
}

TEST(SpinTest, StepsClampsAndMultiples) {
  struct Case {
    int shown, delta, maximum, expected;
  };
  const Case cases[] = {
      {100, -1, 250, 101},
      {100, 1, 250, 99},
      {100, -5, 250, 105},
      {101, -5, 250, 110},
      {3, 5, 250, 0},
      {249, -5, 250, 250},
      {0, 1, 360, 0},
      {400, -10, 1000, 410},
      {998, -5, 1000, 1000},
      {7, -1, 0, 0},
      {2147483647, -1, 360, 360},
      {0, -2147483647 - 1, 250, 250},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SpinStep(c.shown, c.delta, c.maximum), c.expected) << c.shown << " " << c.delta << " " << c.maximum;
  }
  EXPECT_EQ(SpeedLimitText(100, 0), "100km/h");
  EXPECT_EQ(SpeedLimitText(55, 1), "55mph");
  EXPECT_EQ(SpeedLimitText(60, 2), "60kn");
  EXPECT_EQ(SpeedLimitText(30, 3), "30m/sec");
  EXPECT_EQ(WatchAngleText(18), "18\u00b0");
}

TEST_F(ControllerTest, SpinsReachTheEngineAndTheValuesFile) {
  WriteGlobals("SpeedsToAverage = 3\nSpeedLimitDimension = mph\n");
  platform::testing::WriteFile(folder_ / "SntSettings.ini", "WatchAngle=400\nSpeedLimit=90mph\n");
  MainController& controller = Make();
  controller.Start();
  auto looks = controller.Looks();
  EXPECT_EQ(looks[kIdSpeedText].text, "90mph");
  EXPECT_TRUE(looks[kIdSpeedText].enabled);
  EXPECT_EQ(looks[kIdAngleText].text, "18\u00b0") << "out of range: the default";
  controller.SpinSpeedLimit(-5);
  controller.SpinWatchAngle(1);
  EXPECT_EQ(controller.Looks()[kIdSpeedText].text, "95mph");
  EXPECT_EQ(controller.Looks()[kIdAngleText].text, "17\u00b0");
  controller.Shutdown();
  const std::string saved = platform::testing::ReadFile(folder_ / "SntSettings.ini");
  EXPECT_NE(saved.find("WatchAngle=17"), std::string::npos) << saved;
  EXPECT_NE(saved.find("SpeedLimit=95\n"), std::string::npos) << saved;
}

TEST(NavigationDetectorTest, FindsTheLastNavigationWindowAndForgetsAGoneOne) {
  struct Case {
    const char* name;
    std::vector<platform::TopLevelWindow> windows;
    bool found;
    platform::WindowId window;
  };
  const Case cases[] = {
      {"none", {{1, "Notes"}, {2, "POI Sentry"}}, false, 0},
      {"mixed case", {{1, "Notes"}, {7, "My TomTom Go"}}, true, 7},
      {"last wins", {{3, "Navigator 7"}, {4, "destinator"}, {5, "Editor"}}, true, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<platform::WindowId> alive{1, 2, 3, 4, 5, 7};
    NavigationDetector detector(
        {[&] { return c.windows; },
         [&](platform::WindowId id) { return std::find(alive.begin(), alive.end(), id) != alive.end(); }});
    EXPECT_EQ(detector.Detect(), c.found);
    EXPECT_EQ(detector.Window(), c.window);
    EXPECT_EQ(detector.CheckBeforeRead(false), c.found);
    alive.clear();
    EXPECT_FALSE(detector.CheckBeforeRead(false)) << "gone";
    EXPECT_EQ(detector.Window(), 0u);
    alive = {1, 2, 3, 4, 5, 7};
    EXPECT_EQ(detector.CheckBeforeRead(true), c.found) << "searched again while none is known";
  }
}

}  // namespace
}  // namespace warner
