// The pop-up windows on the offscreen platform: made from a layout, painted, tapped, tested.

#include "warner/display/ui/popup_windows.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <memory>

#include "platform/reports/scripted_reporter.h"
#include "platform/testing/temp_folder.h"

namespace warner::display::ui {
namespace {

constexpr char kLayout[] =
    "[PSNT]\nPosX=0\nPosY=0\nSizeX=40\nSizeY=20\nWindBorder=1\nFontSizeX=1\n"
    "[ANNO]\nPosX=50\nPosY=0\nSizeX=80\nSizeY=64\nBackColour=16777215\n"
    "[SPED]\nPosX=0\nPosY=80\nSizeX=120\nSizeY=30\nBackColour=65280\nTextColour=16711680\nFontSizeY=24\n"
    "[HEAD]\nPosX=0\nPosY=120\nSizeX=40\nSizeY=40\nBackColour=0\nPenColour=65535\nPenWidth=3\n";

class PopupWindowsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "warner_display_ui_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  static void TearDownTestSuite() { app_.reset(); }

  PopupWindowsTest()
      : set_(ParseWindowLayouts(kLayout, 10)), windows_(set_, reporter_, {false, [this] { return tick_; }, {}}) {
    EXPECT_EQ(windows_.Create(), 0);
    inputs_.fix.speedKmh = 88;
    inputs_.fix.course = 90;
    inputs_.satellite = SatelliteState::kFix;
    inputs_.announcedPoiTracked = true;
  }

  static QColor Pixel(QWidget* window, int x, int y) { return window->grab().toImage().pixelColor(x, y); }

  static inline std::unique_ptr<QApplication> app_;
  platform::ScriptedReporter reporter_;
  PopupSet set_;
  PopupWindows windows_;
  DisplayInputs inputs_;
  uint32_t tick_ = 1000;
};

TEST_F(PopupWindowsTest, WindowsFollowTheLayout) {
  ASSERT_EQ(windows_.Count(), 4u);
  PopupWindow* speed = windows_.Window(2);
  EXPECT_EQ(speed->geometry(), QRect(0, 80, 120, 30));
  EXPECT_TRUE(speed->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(speed->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
  EXPECT_TRUE(speed->testAttribute(Qt::WA_ShowWithoutActivating));
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(PopupWindowsTest, RefreshPaintsColoursBorderTextBitmapAndNeedle) {
  platform::testing::TempFolder folder("display_ui_test");
  QImage symbol(16, 16, QImage::Format_RGB32);
  symbol.fill(QColor(0, 0, 255));
  ASSERT_TRUE(symbol.save(QString::fromStdString(folder.File("Camera.bmp")), "BMP"));
  inputs_.announcementBitmap = folder.File("Camera.bmp");
  set_.Announce(tick_);
  windows_.Apply(set_.Refresh(inputs_, tick_));

  PopupWindow* status = windows_.Window(0);
  EXPECT_TRUE(status->isVisible());
  EXPECT_EQ(Pixel(status, 0, 0), QColor(Qt::black));                // border
  EXPECT_EQ(Pixel(status, 5, 5), QColor(0, 0xE6, 0));               // fix colour (0x00E600)
  EXPECT_EQ(Pixel(windows_.Window(1), 40, 32), QColor(0, 0, 255));  // the symbol, enlarged
  EXPECT_EQ(Pixel(windows_.Window(1), 1, 1), QColor(255, 255, 255));

  // Blue text on green: some pixels of the speed window carry the text colour.
  const QImage speed = windows_.Window(2)->grab().toImage();
  EXPECT_EQ(speed.pixelColor(1, 1), QColor(0, 255, 0));
  int textPixels = 0;
  for (int y = 0; y < speed.height(); ++y) {
    for (int x = 0; x < speed.width(); ++x) textPixels += speed.pixelColor(x, y).blue() > 128;
  }
  EXPECT_GT(textPixels, 20);
  EXPECT_EQ(windows_.Window(2)->Content().text, "  88kmh");

  // The needle turned by minus 90 degrees points left: yellow left of the centre, not above it.
  const QImage head = windows_.Window(3)->grab().toImage();
  EXPECT_EQ(head.pixelColor(8, 19), QColor(255, 255, 0));
  EXPECT_EQ(head.pixelColor(21, 5), QColor(0, 0, 0));

  // A bitmap that cannot be loaded leaves the text.
  inputs_.announcementBitmap = folder.File("Missing.bmp");
  inputs_.announcementText = "Camera";
  windows_.Apply(set_.Refresh(inputs_, tick_ + 1000));
  EXPECT_NE(Pixel(windows_.Window(1), 40, 32), QColor(0, 0, 255));
}

TEST_F(PopupWindowsTest, PressAndReleaseBecomeATap) {
  PopupWindow* speed = windows_.Window(2);
  speed->show();
  QTest::mousePress(speed, Qt::LeftButton, {}, QPoint(5, 5));
  tick_ += 300;
  QTest::mouseRelease(speed, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(set_.TakeTaps(), (std::vector<PopupTap>{{"SPED", FieldCode::kSPED, 300}}));
}

TEST_F(PopupWindowsTest, WindowTestShowsNamesThenHidesAll) {
  bool done = false;
  windows_.RunWindowTest([this] { return inputs_; }, [&done] { done = true; });
  EXPECT_TRUE(windows_.Window(3)->isVisible());
  EXPECT_EQ(windows_.Window(3)->Content().text, "HEAD");
  EXPECT_TRUE(QTest::qWaitFor([&done] { return done; }, 8000));
  EXPECT_FALSE(windows_.Window(3)->isVisible());
}

}  // namespace
}  // namespace warner::display::ui
