#pragma once
// Looks for a navigation program beside the warner by the titles of the top-level windows.
// Thread-safe: the interface thread detects at start-up, the worker checks before each read.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/desktop/desktop.h"

namespace warner {

// The desktop as the detector sees it; the platform's by default, a fake list in tests.
struct DesktopAccess {
  std::function<std::vector<platform::TopLevelWindow>()> windows = platform::EnumerateTopLevelWindows;
  std::function<bool(platform::WindowId)> exists = platform::WindowExists;
};

// Whether an upper-cased window title names a navigation program.
bool IsNavigationTitle(std::string_view title);

class NavigationDetector {
 public:
  explicit NavigationDetector(DesktopAccess desktop = {});

  // Enumerates the windows; the last one whose title names a navigation program is remembered.
  // True when one was found (a window found before stays when none is found now).
  bool Detect();
  // Before each read: a known window that is gone is forgotten; while none is known and
  // `searchWhenUnknown`, the windows are enumerated again. Whether one is known afterwards.
  bool CheckBeforeRead(bool searchWhenUnknown);
  bool Found() const;
  platform::WindowId Window() const;

 private:
  DesktopAccess desktop_;
  mutable std::mutex mutex_;  // the navigation-window lock
  bool found_ = false;
  platform::WindowId window_ = 0;
};

}  // namespace warner
