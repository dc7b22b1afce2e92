#include "warner/ui/status_icons.h"

#include <QPainter>
#include <QPixmap>

namespace warner::ui {

namespace {

// A warning triangle over a disc whose colour tells the state: grey inactive, amber searching,
// red no fix, green fix; the program icon is blue.
QColor StateColour(StatusIcon icon) {
  switch (icon) {
    case StatusIcon::kProgram: return QColor(0x20, 0x60, 0xC0);
    case StatusIcon::kInactive: return QColor(0x90, 0x90, 0x90);
    case StatusIcon::kSearching: return QColor(0xF0, 0xA0, 0x00);
    case StatusIcon::kNoFix: return QColor(0xD0, 0x20, 0x20);
    case StatusIcon::kFix: return QColor(0x20, 0xB0, 0x30);
  }
  return Qt::gray;
}

QPixmap Draw(StatusIcon icon, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  painter.setPen(QPen(Qt::black, s / 32));
  painter.setBrush(StateColour(icon));
  painter.drawEllipse(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92));
  const QPointF triangle[] = {{s * 0.5, s * 0.18}, {s * 0.82, s * 0.76}, {s * 0.18, s * 0.76}};
  painter.setBrush(Qt::white);
  painter.drawPolygon(triangle, 3);
  painter.setPen(QPen(Qt::black, s / 10, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(s * 0.5, s * 0.38), QPointF(s * 0.5, s * 0.56));
  painter.drawPoint(QPointF(s * 0.5, s * 0.67));
  if (icon == StatusIcon::kSearching) {
    painter.setPen(QPen(Qt::black, s / 16));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(s * 0.1, s * 0.1, s * 0.8, s * 0.8), 30 * 16, 120 * 16);
  }
  return pixmap;
}

}  // namespace

QIcon StatusIconImage(StatusIcon icon) {
  QIcon result;
  for (int size : {16, 32, 64}) result.addPixmap(Draw(icon, size));
  return result;
}

}  // namespace warner::ui
