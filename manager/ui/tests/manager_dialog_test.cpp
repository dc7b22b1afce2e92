// The manager's window on the offscreen platform: real widgets clicked, a receiver on COM4:.

#include "manager/ui/manager_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>
#include <optional>
#include <string>

#include "driver/registry/driver_keys.h"
#include "manager/core/program_facts.h"
#include "platform/devices/device_manager.h"
#include "platform/registry/registry.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/pty.h"
#include "platform/testing/system_root.h"

namespace manager::ui {
namespace {

bool DriverKeyExists() {
  platform::RegistryKey key;
  return platform::RegistryKey::Open(platform::Hive::kLocalMachine, "Drivers\\SercastNG", key) == 0;
}

class ManagerDialogTest : public platform::testing::SystemRootTest {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "manager_ui_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  static void TearDownTestSuite() { app_.reset(); }

  ManagerDialogTest() {
    receiver_.MakeRaw();
    platform::testing::MapPort("COM4:", receiver_.slavePath());
    unsetenv(kOsVersionVariable);
    ProgramFacts facts;
    facts.os = ReadOsVersion();
    facts.moduleFileName = "/usr/bin/sercastmgr";
    facts.programName = "SercastMgr";
    facts.registryName = driver::RegistryName(facts.programName);
    manager_ = std::make_unique<DriverManager>(facts, reporter_, lines_, [this](const FileDialogRequest& request) {
      requests_.push_back(request);
      return std::optional<std::string>();
    });
    EXPECT_TRUE(manager_->Start());
    dialog_ = std::make_unique<ManagerDialog>(*manager_, lines_);
    dialog_->show();
  }
  ~ManagerDialogTest() override {
    dialog_.reset();
    manager_.reset();
    platform::StopDeviceManager();
  }

  template <typename Widget>
  Widget* Find(const QString& text) const {
    for (Widget* widget : dialog_->findChildren<Widget*>()) {
      if (widget->objectName() == text || widget->property("text").toString() == text) return widget;
    }
    ADD_FAILURE() << "no widget " << text.toStdString();
    return nullptr;
  }
  // Walks a combo box with the keyboard, as a user would, until `entry` is current.
  void Choose(const QString& box, const QString& entry) const {
    QComboBox* combo = Find<QComboBox>(box);
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < combo->count() && combo->currentText() != entry; ++i) QTest::keyClick(combo, Qt::Key_Down);
    ASSERT_EQ(combo->currentText(), entry);
  }

  static inline std::unique_ptr<QApplication> app_;
  platform::testing::ScopedEnv config_{"XDG_CONFIG_HOME", (system_.Folder() / "config").string()};
  platform::testing::Pty receiver_;
  platform::ScriptedReporter reporter_;
  PortTestList lines_;
  std::vector<FileDialogRequest> requests_;
  std::unique_ptr<DriverManager> manager_;
  std::unique_ptr<ManagerDialog> dialog_;
};

TEST_F(ManagerDialogTest, FitsTheSmallScreenAndACancelledFileKeepsThePort) {
  const QSize least = dialog_->minimumSizeHint();
  EXPECT_LE(least.width(), 480);
  EXPECT_LE(least.height(), 272);

  Choose("input", "COM4:");
  QTest::keyClick(Find<QComboBox>("input"), Qt::Key_End);
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_EQ(requests_[0].title, "GPS Log File");
  EXPECT_EQ(requests_[0].filters.size(), 2u);
  EXPECT_EQ(Find<QComboBox>("input")->currentText(), "COM4:");
  EXPECT_EQ(manager_->Settings().source, "COM4:");
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(ManagerDialogTest, ActivateDeactivateAndCloseSavesTheChoices) {
  Choose("input", "COM4:");
  Choose("output", "COM7:");
  QTest::mouseClick(Find<QPushButton>("Activate"), Qt::LeftButton);
  EXPECT_TRUE(DriverKeyExists());
  EXPECT_FALSE(Find<QPushButton>("Activate")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("Deactivate")->isEnabled());
  EXPECT_FALSE(Find<QComboBox>("input")->isEnabled());
  EXPECT_EQ(Find<QComboBox>("output")->count(), 1);

  QTest::mouseClick(Find<QPushButton>("Deactivate"), Qt::LeftButton);
  EXPECT_FALSE(DriverKeyExists());
  EXPECT_TRUE(Find<QPushButton>("Activate")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>("Deactivate")->isEnabled());
  EXPECT_TRUE(reporter_.Records().empty());

  QTest::mouseClick(Find<QPushButton>("Close"), Qt::LeftButton);
  EXPECT_FALSE(dialog_->isVisible());
  driver::ManagerSettings saved;
  driver::ReadManagerSettings("SercastMgr", saved);
  EXPECT_EQ(saved.source, "COM4:");
  EXPECT_EQ(saved.outPort, "COM7:");
}

TEST_F(ManagerDialogTest, RawTestLinesReachTheListFromTheTestThread) {
  Choose("input", "COM4:");
  QTest::mouseClick(Find<QPushButton>("Test Raw"), Qt::LeftButton);
  EXPECT_EQ(Find<QLabel>("Raw Data from COM4:")->text(), "Raw Data from COM4:");
  QListWidget* list = lines_.Widget();
  for (int i = 0; i < 50 && list->count() == 0; ++i) {
    receiver_.Send("$GPGSV,one line\r\n");
    QTest::qWait(50);
  }
  ASSERT_GT(list->count(), 0);
  EXPECT_EQ(list->item(0)->text().toStdString().rfind("$GPGSV,one line", 0), 0u) << list->item(0)->text().toStdString();
  QTest::mouseClick(Find<QPushButton>("Stop Raw"), Qt::LeftButton);
  EXPECT_TRUE(Find<QPushButton>("Test GPS")->isEnabled());
}

}  // namespace
}  // namespace manager::ui
