// popup_preview LAYOUT.ini OUTPUT.png [BITMAP]: shows the pop-up windows of a layout file, filled
// with a sample drive's values and an announcement, over a stand-in navigation window, and saves
// the whole screen as a PNG.

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/desktop/desktop.h"
#include "platform/reports/ui/qt_reporter.h"
#include "warner/display/popup_set.h"
#include "warner/display/ui/popup_windows.h"

namespace {

using namespace warner::display;

// A plain map with a route, as a navigation program would show it, so the pop-ups are seen over
// what they float over in the car.
class StandInNavigation final : public QWidget {
 public:
  StandInNavigation() { setWindowTitle("NAVIGATOR"); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = width();
    const double h = height();
    p.fillRect(rect(), QColor(0xF2, 0xEF, 0xE6));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xC8, 0xE6, 0xB4));
    p.drawEllipse(QPointF(w * 0.2, h * 0.3), w * 0.14, h * 0.18);
    p.drawEllipse(QPointF(w * 0.82, h * 0.62), w * 0.12, h * 0.16);
    p.setBrush(QColor(0xAA, 0xD3, 0xF0));
    p.drawEllipse(QPointF(w * 0.65, h * 0.2), w * 0.08, h * 0.07);
    const auto road = [&p](const QPainterPath& path, double width, QColor colour) {
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(QColor(0x99, 0x99, 0x99), width + 2, Qt::SolidLine, Qt::RoundCap));
      p.drawPath(path);
      p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
      p.drawPath(path);
    };
    QPainterPath side(QPointF(0, h * 0.55));
    side.cubicTo(w * 0.3, h * 0.5, w * 0.6, h * 0.75, w, h * 0.7);
    road(side, 8, Qt::white);
    QPainterPath cross(QPointF(w * 0.75, 0));
    cross.lineTo(w * 0.7, h);
    road(cross, 8, Qt::white);
    QPainterPath route(QPointF(w * 0.5, h));
    route.cubicTo(w * 0.5, h * 0.6, w * 0.45, h * 0.35, w * 0.55, 0);
    road(route, 14, QColor(0xF7, 0xD0, 0x6E));
    p.setPen(QPen(QColor(0x3A, 0x7B, 0xD5, 180), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(route);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor(0x1E, 0x5B, 0xC6));
    const QPointF car(w * 0.5, h * 0.85);
    p.drawPolygon(
        QPolygonF({car + QPointF(0, -16), car + QPointF(11, 12), car + QPointF(0, 5), car + QPointF(-11, 12)}));
    p.setPen(QColor(0x44, 0x44, 0x44));
    p.setFont(QFont("DejaVu Sans", 12, QFont::Bold));
    p.drawText(QRectF(0, h - 34, w, 30), Qt::AlignHCenter | Qt::AlignVCenter, "A99 Millbrook");
  }
};

DisplayInputs SampleInputs(const std::string& bitmap) {
  DisplayInputs in;
  in.fix.hour = 7;
  in.fix.minute = 30;
  in.fix.second = 34;
  in.fix.latitude = 48.05833;
  in.fix.longitude = 11.41333;
  in.fix.latDegrees = 48;
  in.fix.latMinutes = 3;
  in.fix.latSeconds = 30;
  in.fix.lonDegrees = 11;
  in.fix.lonMinutes = 24;
  in.fix.lonSeconds = 48;
  in.fix.speedKmh = 104.3;
  in.fix.course = 47.0;
  in.fix.altitude = 512.0;
  in.fix.hdop = 0.9;
  in.fix.satellites = 8;
  in.announcementText = "Camera";
  in.announcementBitmap = bitmap;
  in.announcementDistance = 374.0;
  in.announcedPoiTracked = true;
  in.trafficMessageCount = 3;
  in.stationText = "RADIO 7";
  in.battery = {BatteryState::Source::kBattery, 64};
  in.satellite = SatelliteState::kFix;
  return in;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: popup_preview LAYOUT.ini OUTPUT.png [BITMAP]\n");
    return 2;
  }
  if (!platform::HasDisplay()) {
    std::fprintf(stderr,
                 "popup_preview: no display; run it under xvfb-run (scripts/screenshot-popups.sh) or with "
                 "QT_QPA_PLATFORM=offscreen\n");
    return 2;
  }
  QApplication app(argc, argv);
  platform::ui::QtReporter reporter;
  std::vector<PopupLayout> layouts;
  if (ReadWindowLayouts(argv[1], 10, layouts, reporter) != 0) return 1;

  StandInNavigation navigation;
  navigation.setGeometry(QGuiApplication::primaryScreen()->geometry());
  navigation.show();

  PopupSet set(std::move(layouts));
  ui::PopupWindows windows(set, reporter, {});
  if (windows.Create() != 0) return 1;
  const DisplayInputs inputs = SampleInputs(argc > 3 ? argv[3] : "");
  set.Announce(5000);
  windows.Apply(set.Refresh(inputs, 5000));

  const QString output = QString::fromLocal8Bit(argv[2]);
  int status = 0;
  QTimer::singleShot(800, &app, [&] {
    QPixmap screen;
    if (QGuiApplication::platformName() == "offscreen") {
      // No screen to grab: put the windows' pictures together as a screen would show them.
      screen = navigation.grab();
      QPainter painter(&screen);
      for (size_t i = 0; i < windows.Count(); ++i) {
        const ui::PopupWindow* window = windows.Window(i);
        if (window->isVisible()) painter.drawPixmap(window->pos(), window->Picture());
      }
    } else {
      screen = QGuiApplication::primaryScreen()->grabWindow(0);
    }
    if (!screen.save(output, "PNG")) {
      std::fprintf(stderr, "popup_preview: can't write %s\n", argv[2]);
      status = 1;
    }
    app.quit();
  });
  app.exec();
  return status;
}
