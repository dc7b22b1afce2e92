#pragma once
// One pop-up window: a small frameless window above all others that never takes the focus and
// paints the content the display model computed, from an off-screen picture.

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <string>

#include "warner/display/popup_content.h"
#include "warner/display/popup_layout.h"

namespace warner::display::ui {

// Window flags of every pop-up; with `bypassWindowManager` the window manager never sees it (for
// window managers that ignore "stay on top" or give tool windows the focus).
Qt::WindowFlags PopupWindowFlags(bool bypassWindowManager);

class PopupWindow final : public QWidget {
  Q_OBJECT

 public:
  // `onPointer` hears every press (true) and release (false) of the left button, in window pixels.
  PopupWindow(const PopupLayout& layout, bool bypassWindowManager,
              std::function<void(bool press, QPoint point)> onPointer = {});

  void Apply(const PopupContent& content);
  const PopupContent& Content() const { return content_; }
  // The picture as painted: what the window shows.
  const QPixmap& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Render();
  QFont LayoutFont() const;
  bool DrawBitmap(QPainter& painter, const QRect& area);
  void DrawNeedle(QPainter& painter, const QRect& area) const;
  void DrawText(QPainter& painter, const QRect& area) const;

  PopupLayout layout_;
  PopupContent content_;
  QPixmap picture_;
  std::string bitmapPath_;  // the file `bitmap_` was loaded from
  QImage bitmap_;
  std::function<void(bool, QPoint)> onPointer_;
};

}  // namespace warner::display::ui
