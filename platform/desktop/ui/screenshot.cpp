#include "platform/desktop/ui/screenshot.h"

#include <QPixmap>
#include <QScreen>
#include <QString>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace platform::ui {

void ScheduleScreenshot(QWidget& window, int afterMs, std::function<void()> prepare, std::function<void()> close) {
  const char* path = std::getenv("DW_SCREENSHOT");
  if (path == nullptr || *path == '\0') return;
  if (const char* after = std::getenv("DW_SCREENSHOT_AFTER_MS"); after != nullptr && std::atoi(after) > 0) {
    afterMs = std::atoi(after);
  }
  const char* screen = std::getenv("DW_SCREENSHOT_SCREEN");
  const bool wholeScreen = screen != nullptr && *screen != '\0';
  QTimer::singleShot(afterMs, &window,
                     [&window, wholeScreen, file = QString::fromLocal8Bit(path), prepare = std::move(prepare),
                      close = std::move(close)] {
                       if (prepare) prepare();
                       const QPixmap picture = wholeScreen ? window.screen()->grabWindow(0) : window.grab();
                       if (!picture.save(file)) {
                         std::fprintf(stderr, "Can't save the screenshot %s\n", qPrintable(file));
                       }
                       if (close) {
                         close();
                       } else {
                         window.close();
                       }
                     });
}

}  // namespace platform::ui
