// The warner's windows together on the offscreen platform: a tap on a pop-up window records the
// position, and Write Log records the drive.

#include "warner/ui/warner_windows.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/system_root.h"

namespace warner::ui {
namespace {

namespace fs = std::filesystem;

class WarnerWindowsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "warner_windows_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  static void TearDownTestSuite() { app_.reset(); }

  WarnerWindowsTest() {
    // The sample drive at 4800 baud, records and logs in the warner's folder.
    platform::testing::WriteFile(folder_ / "SntGlobals.ini", "LogSntFileMissing = 0\nUseGPSPort = " SAMPLE_DATA_DIR
                                                             "/drive.nmea\nASCWriteDirPath = " +
                                                                 folder_.string() + "/\n");
    fs::copy_file(SAMPLE_DATA_DIR "/waypost/Waypost.ini", folder_ / "Waypost.ini");
    windows_ = std::make_unique<WarnerWindows>(folder_.string(), reporter_, nullptr,
                                               [this](const std::string&) { return (folder_ / "track.txt").string(); });
    windows_->Main().show();
    windows_->Main().Start();
  }
  ~WarnerWindowsTest() override { windows_.reset(); }

  QPushButton* Button(int id) const { return windows_->Main().findChild<QPushButton*>(QString::number(id)); }
  static QWidget* Popup(const char* name) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->objectName() == name) return widget;
    }
    return nullptr;
  }
  // Events served until `done` or about five seconds.
  template <typename Done>
  static bool WaitFor(Done done) {
    for (int i = 0; i < 100 && !done(); ++i) QTest::qWait(50);
    return done();
  }

  static std::unique_ptr<QApplication> app_;
  const platform::testing::TempSystemRoot system_;
  const platform::testing::ScopedEnv sound_{"DW_SOUND", "null"};
  const fs::path folder_ = system_.Folder() / "warner";
  platform::ScriptedReporter reporter_;
  std::unique_ptr<WarnerWindows> windows_;
};

std::unique_ptr<QApplication> WarnerWindowsTest::app_;

TEST_F(WarnerWindowsTest, ATapRecordsThePositionAndWriteLogRecordsTheDrive) {
  QTest::mouseClick(Button(1002), Qt::LeftButton);
  QWidget* speed = Popup("SPED");
  ASSERT_NE(speed, nullptr) << "the sample layout has a speed window";
  ASSERT_TRUE(WaitFor([&] { return speed->isVisible(); })) << "shown once the drive gives a fix";

  QTest::mouseClick(speed, Qt::LeftButton);
  const fs::path records = folder_ / "SntRec.ASC";
  ASSERT_TRUE(WaitFor([&] { return fs::exists(records); }));
  const std::string record = platform::testing::ReadFile(records);
  EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 1) << record;
  EXPECT_TRUE(record.ends_with("\r\n")) << record;

  QTest::mouseClick(Button(1006), Qt::LeftButton);
  EXPECT_EQ(Button(1006)->property("controlText").toString(), "Stop\rLog");
  QTest::qWait(1500);
  QTest::mouseClick(Button(1006), Qt::LeftButton);
  EXPECT_EQ(Button(1006)->property("controlText").toString(), "Write\rLog");
  const std::string log = platform::testing::ReadFile(folder_ / "track.txt");
  // What the receiver sent from the press on: it may start inside a sentence, as a replay allows.
  EXPECT_NE(log.find("\r\n$GPRMC,"), std::string::npos) << log;
  WarnerSession replay(SessionOptions{folder_.string()}, reporter_, [](uint32_t) {});
  const SessionEnd end = replay.ReplayLog((folder_ / "track.txt").string(), false);
  EXPECT_TRUE(end.opened);
  EXPECT_EQ(end.code, 38u) << "replayed to its end";

  QTest::mouseClick(Button(1002), Qt::LeftButton);
  EXPECT_TRUE(WaitFor([&] { return !windows_->Main().Controller().WorkerRunning(); }));
}

}  // namespace
}  // namespace warner::ui
