// The warner's main window on the offscreen platform: real widgets clicked, a replayed log as the
// GPS source.

#include "warner/ui/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/system_root.h"

namespace warner::ui {
namespace {

namespace fs = std::filesystem;

class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "warner_ui_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  static void TearDownTestSuite() { app_.reset(); }

  MainWindowTest() {
    // The sample drive, paced at 4800 baud: long enough to click twice.
    platform::testing::WriteFile(folder_ / "SntGlobals.ini",
                                 "LogSntFileMissing = 0\nSpeedsToAverage = 3\nSpeedLimitDimension = km/h\n"
                                 "UseGPSPort = " SAMPLE_DATA_DIR "/drive.nmea\n");
    window_ = std::make_unique<MainWindow>(folder_.string(), reporter_, popups_, RecordHooks{});
    window_->show();
    window_->Start();
  }

  template <typename T = QWidget>
  T* Control(int id) const {
    T* widget = window_->findChild<T*>(QString::number(id));
    EXPECT_NE(widget, nullptr) << id;
    return widget;
  }
  QString ControlText(int id) const { return Control<QPushButton>(id)->property("controlText").toString(); }
  QString Text(int id) const { return Control<QLabel>(id)->text(); }

  static std::unique_ptr<QApplication> app_;
  const platform::testing::TempSystemRoot system_;
  const platform::testing::ScopedEnv sound_{"DW_SOUND", "null"};
  const fs::path folder_ = system_.Folder() / "warner";
  platform::ScriptedReporter reporter_;
  NoPopups popups_;
  std::unique_ptr<MainWindow> window_;
};

std::unique_ptr<QApplication> MainWindowTest::app_;

TEST_F(MainWindowTest, ActivateAndDeactivateOnAReplayedLog) {
  const struct {
    int id;
    const char* text;
  } buttons[] = {{1002, "Acti-\rvate"},  {1003, "Search\rSurr."}, {1006, "Write\rLog"}, {1004, "Mini-\rmize"},
                 {1000, "Termi-\rnate"}, {1010, ">Stand\rAlone"}, {1001, "T.Snd"},      {1007, "T.Wnd"}};
  for (const auto& button : buttons) EXPECT_EQ(ControlText(button.id), button.text) << button.id;
  EXPECT_EQ(Control<QPushButton>(1002)->text(), "Acti-\nvate");
  EXPECT_EQ(window_->windowTitle(), "POI Sentry");
  EXPECT_TRUE(Text(1009).startsWith("V "));
  EXPECT_FALSE(Control(1007)->isVisible()) << "no pop-up windows";
  EXPECT_FALSE(Control(1011)->isEnabled()) << "virtual mode";
  for (int id : {1011, 1012, 1013, 1021, 1022, 1023, 1024}) {
    const QRect geometry = Control(id)->geometry();
    EXPECT_TRUE(window_->rect().contains(geometry)) << id << " lies outside the window";
  }

  QTest::mouseClick(Control<QPushButton>(1002), Qt::LeftButton);
  EXPECT_EQ(ControlText(1002), "De-\rActi-\rvate");
  EXPECT_NE(Control<QPushButton>(1002)->styleSheet().indexOf("#00ff00"), -1);
  EXPECT_FALSE(Control(1000)->isVisible());
  EXPECT_FALSE(Control(1010)->isVisible());
  EXPECT_FALSE(Control(1011)->isVisible());
  EXPECT_TRUE(QTest::qWaitFor([this] { return window_->Controller().CurrentIcon() == StatusIcon::kFix; }, 5000));

  QTest::mouseClick(Control<QPushButton>(1002), Qt::LeftButton);
  EXPECT_EQ(ControlText(1002), "Acti-\rvate");
  EXPECT_TRUE(Control(1000)->isVisible());
  EXPECT_TRUE(QTest::qWaitFor([this] { return !window_->Controller().WorkerRunning(); }, 5000));
  EXPECT_EQ(window_->Controller().CurrentIcon(), StatusIcon::kInactive);
  EXPECT_EQ(ControlText(1002), "Acti-\rvate");

  // Closed while active: the worker is stopped and waited for.
  QTest::mouseClick(Control<QPushButton>(1002), Qt::LeftButton);
  ASSERT_TRUE(window_->Controller().WorkerRunning());
  window_->close();
  EXPECT_FALSE(window_->Controller().WorkerRunning());
  EXPECT_TRUE(fs::exists(folder_ / "SntSettings.ini"));
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(MainWindowTest, SpinsAndSourceMode) {
  EXPECT_EQ(Text(1023), "100km/h");
  EXPECT_EQ(Text(1024), "18\u00b0");
  QTest::mouseClick(Control<QWidget>(1021)->findChild<QToolButton*>("1021up"), Qt::LeftButton);
  QTest::mouseClick(Control<QWidget>(1022)->findChild<QToolButton*>("1022down"), Qt::LeftButton);
  EXPECT_EQ(Text(1023), "101km/h");
  EXPECT_EQ(Text(1024), "17\u00b0");

  QTest::mouseClick(Control<QPushButton>(1010), Qt::LeftButton);
  EXPECT_EQ(ControlText(1010), "<Ser-\rcast");
  EXPECT_TRUE(Control(1011)->isEnabled());
  EXPECT_EQ(Control<QComboBox>(1012)->currentText(), "4800");

  QTest::mouseClick(Control<QPushButton>(1000), Qt::LeftButton);  // Terminate writes the values
  EXPECT_FALSE(window_->isVisible());
  const std::string saved = platform::testing::ReadFile(folder_ / "SntSettings.ini");
  EXPECT_NE(saved.find("SpeedLimit=101\n"), std::string::npos) << saved;
}

}  // namespace
}  // namespace warner::ui
