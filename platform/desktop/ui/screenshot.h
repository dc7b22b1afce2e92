#pragma once
// Pictures of a program's window for its README, made under a virtual display: with
// DW_SCREENSHOT=path the window saves a picture of itself once it has been shown for a while
// (DW_SCREENSHOT_AFTER_MS, or `afterMs`), of the whole screen with every window on it when
// DW_SCREENSHOT_SCREEN is set, and closes. Without the variable nothing happens.

#include <QWidget>
#include <functional>

namespace platform::ui {

// `prepare` runs just before the picture (a search clicked, say); `close` ends the window (default:
// QWidget::close).
void ScheduleScreenshot(QWidget& window, int afterMs = 500, std::function<void()> prepare = {},
                        std::function<void()> close = {});

}  // namespace platform::ui
