// The pop-up windows under a real window manager (run under xvfb-run): they stay above the
// navigation program, also when it is raised, and never take the focus from it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop/desktop.h"
#include "platform/desktop/testing/window_manager.h"
#include "platform/reports/scripted_reporter.h"
#include "warner/display/ui/popup_windows.h"

namespace warner::display::ui {
namespace {

// The position of a titled window in the display's stacking order (bottom first), or -1.
int StackingIndex(const std::string& title) {
  const std::vector<platform::TopLevelWindow> windows = platform::EnumerateTopLevelWindows();
  const auto found = std::find_if(windows.begin(), windows.end(), [&](const auto& w) { return w.title == title; });
  return found == windows.end() ? -1 : static_cast<int>(found - windows.begin());
}

// Events served until `done` or about five seconds.
template <typename Done>
bool WaitFor(Done done) {
  for (int i = 0; i < 100 && !done(); ++i) QTest::qWait(50);
  return done();
}

TEST(PopupStackingTest, PopupsStayAboveTheNavigationProgramWithoutTakingItsFocus) {
  ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
  unsetenv("QT_QPA_PLATFORM");
  platform::testing::WindowManager manager;
  ASSERT_TRUE(manager.WaitRunning());
  int argc = 1;
  char name[] = "popup_stacking_test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);

  QWidget navigation;
  navigation.setWindowTitle("NAVIGATOR");
  navigation.setGeometry(0, 0, 640, 400);
  navigation.show();
  // A window manager that has just started may let a request pass by: asked again.
  WaitFor([&] {
    navigation.activateWindow();
    return QApplication::activeWindow() == &navigation;
  });

  PopupSet set(ParseWindowLayouts("[SPED]\nPosX=20\nPosY=20\nSizeX=120\nSizeY=40\n", 10));
  platform::ScriptedReporter reporter;
  PopupWindows windows(set, reporter, {});
  ASSERT_EQ(windows.Create(), 0);
  DisplayInputs inputs;
  inputs.fix.speedKmh = 88;
  windows.Apply(set.RefreshAll(inputs));
  ASSERT_TRUE(WaitFor([] { return StackingIndex("SPED") >= 0; }));
  EXPECT_GT(StackingIndex("SPED"), StackingIndex("NAVIGATOR"));
  QTest::qWait(300);
  // The window manager may move the focus as a window maps; it never lands on a pop-up.
  EXPECT_NE(QApplication::activeWindow(), windows.Window(0)) << "showing a pop-up never activates it";

  // The navigation program comes to the front: the pop-ups stay above it.
  navigation.raise();
  navigation.activateWindow();
  QTest::qWait(500);
  EXPECT_GT(StackingIndex("SPED"), StackingIndex("NAVIGATOR"));
  EXPECT_NE(QApplication::activeWindow(), windows.Window(0));
}

}  // namespace
}  // namespace warner::display::ui
