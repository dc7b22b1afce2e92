#include "warner/display/ui/popup_window.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/paths/paths.h"
#include "warner/display/popup_set.h"

namespace warner::display::ui {
namespace {

// A layout's size beyond any screen would only cost memory.
constexpr int kMaxSide = 4096;

QColor FromColourRef(uint32_t colour) { return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF); }

// The text-drawing flags of the layout file, in Qt's words.
int QtTextFlags(int align) {
  int flags = 0;
  if (align & kAlignCentre) {
    flags |= Qt::AlignHCenter;
  } else if (align & kAlignRight) {
    flags |= Qt::AlignRight;
  } else {
    flags |= Qt::AlignLeft;
  }
  if (align & kAlignVCentre) {
    flags |= Qt::AlignVCenter;
  } else if (align & kAlignBottom) {
    flags |= Qt::AlignBottom;
  } else {
    flags |= Qt::AlignTop;
  }
  if (align & kAlignWordBreak) flags |= Qt::TextWordWrap;
  if (align & kAlignSingleLine) flags |= Qt::TextSingleLine;
  return flags;
}

// The arrow's tip and the two ends of its head, for a square picture of `side` pixels pointing up.
struct Arrow {
  QPointF tail;
  QPointF tip;
  QPointF left;
  QPointF right;
};

Arrow UpwardArrow(double side) {
  const QPointF centre(side / 2 + 1, side / 2 - 1);
  const double half = (side - 4) / 2;
  const QPointF tip(centre.x(), centre.y() - half);
  const double headLength = side / 4;
  // A head too narrow to see opens wider.
  double angle = 12.5;
  while (headLength * std::sin(angle * std::numbers::pi / 180) < 2 && angle < 50) angle *= 2;
  const double dx = headLength * std::sin(angle * std::numbers::pi / 180);
  const double dy = headLength * std::cos(angle * std::numbers::pi / 180);
  return {QPointF(centre.x(), centre.y() + half), tip, QPointF(tip.x() - dx, tip.y() + dy),
          QPointF(tip.x() + dx, tip.y() + dy)};
}

}  // namespace

Qt::WindowFlags PopupWindowFlags(bool bypassWindowManager) {
  Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus;
  if (bypassWindowManager) flags |= Qt::X11BypassWindowManagerHint;
  return flags;
}

PopupWindow::PopupWindow(const PopupLayout& layout, bool bypassWindowManager,
                         std::function<void(bool, QPoint)> onPointer)
    : QWidget(nullptr, PopupWindowFlags(bypassWindowManager)),
      layout_(layout),
      content_(BlankContent(layout)),
      onPointer_(std::move(onPointer)) {
  setObjectName(QString::fromStdString(layout.name));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
  setWindowTitle(QString::fromStdString(layout.name));
  setGeometry(layout.posX, layout.posY, std::clamp(layout.sizeX, 1, kMaxSide), std::clamp(layout.sizeY, 1, kMaxSide));
  Render();
}

void PopupWindow::Apply(const PopupContent& content) {
  content_ = content;
  Render();
  update();
}

void PopupWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, picture_);
}

void PopupWindow::resizeEvent(QResizeEvent*) { Render(); }

void PopupWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && onPointer_) onPointer_(true, event->position().toPoint());
}

void PopupWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && onPointer_) onPointer_(false, event->position().toPoint());
}

void PopupWindow::Render() {
  picture_ = QPixmap(size());
  picture_.fill(FromColourRef(content_.background));
  QPainter painter(&picture_);
  QRect area = picture_.rect();
  if (layout_.border) {
    painter.setPen(Qt::black);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    area.adjust(1, 1, -1, -1);
  }
  painter.setClipRect(area);
  const bool bitmapShown = DrawBitmap(painter, area);
  if (content_.needleAngle) DrawNeedle(painter, area);
  if (!bitmapShown) DrawText(painter, area);
}

bool PopupWindow::DrawBitmap(QPainter& painter, const QRect& area) {
  if (content_.bitmapPath.empty()) return false;
  if (content_.bitmapPath != bitmapPath_) {
    bitmapPath_ = content_.bitmapPath;
    bitmap_ = QImage(QString::fromStdString(platform::ToLinuxPath(bitmapPath_)));
  }
  if (bitmap_.isNull()) return false;
  // Symbols are drawn for a handheld's small screen: enlarge them by whole steps so they stay
  // crisp, and shrink a picture larger than the window.
  const int factor = std::max(1, std::min(area.width() / bitmap_.width(), area.height() / bitmap_.height()));
  QSize shown = bitmap_.size() * factor;
  if (shown.width() > area.width() || shown.height() > area.height()) shown.scale(area.size(), Qt::KeepAspectRatio);
  const QRect target(
      QPoint(area.x() + (area.width() - shown.width()) / 2, area.y() + (area.height() - shown.height()) / 2), shown);
  painter.drawImage(target, bitmap_);
  return true;
}

void PopupWindow::DrawNeedle(QPainter& painter, const QRect& area) const {
  const double side = area.height();
  const Arrow arrow = UpwardArrow(side);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(area.x() + side / 2 + 1, area.y() + side / 2 - 1);
  painter.rotate(-*content_.needleAngle);
  painter.translate(-(side / 2 + 1), -(side / 2 - 1));
  painter.setPen(QPen(FromColourRef(layout_.penColour), std::max(1, layout_.penWidth), Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(arrow.tail, arrow.tip);
  painter.drawPolyline(QPolygonF({arrow.left, arrow.tip, arrow.right, arrow.left}));
  painter.restore();
}

QFont PopupWindow::LayoutFont() const {
  QFont font(QString::fromStdString(layout_.fontName));
  if (layout_.fontSizeY > 0) font.setPixelSize(std::min(layout_.fontSizeY, kMaxSide));
  font.setWeight(static_cast<QFont::Weight>(std::clamp(layout_.fontWeight, 1, 1000)));
  // FontSizeX is the characters' average width: Qt stretches a font by a percentage of its own.
  if (layout_.fontSizeX > 2) {
    const int natural = QFontMetrics(font).averageCharWidth();
    if (natural > 0) font.setStretch(std::clamp(layout_.fontSizeX * 100 / natural, 50, 200));
  }
  return font;
}

void PopupWindow::DrawText(QPainter& painter, const QRect& area) const {
  if (content_.text.empty()) return;
  painter.setFont(LayoutFont());
  painter.setPen(FromColourRef(content_.textColour));
  QRect box = area;
  if (content_.textAlign & kAlignRight) box.setRight(box.right() - 1);
  const QFontMetrics metrics = painter.fontMetrics();
  const PlacedText placed =
      ApplyMeasuringRule(content_.text, content_.textAlign, area.height(), [&](std::string_view text, int flags) {
        return metrics.boundingRect(box, QtTextFlags(flags), QString::fromUtf8(text.data(), text.size())).height();
      });
  if (layout_.fontAngle != 0) {
    painter.translate(box.center());
    painter.rotate(-layout_.fontAngle / 10.0);
    painter.translate(-box.center());
  }
  painter.drawText(box, QtTextFlags(placed.flags), QString::fromStdString(placed.text));
}

}  // namespace warner::display::ui
