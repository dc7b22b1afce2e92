#pragma once
// The top-level windows of the X display, as a navigation program's window is looked for: each
// with its title. Works with or without a window manager; without a display there are none.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

using WindowId = uint64_t;

struct TopLevelWindow {
  WindowId id = 0;    // the window that carries the title (a client below a frame, if any)
  std::string title;  // UTF-8
  // Where that window's inside lies on the screen, frame excluded: what its program asked for.
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The titled top-level windows in stacking order (bottom first), with their places on the screen.
// Empty without a display.
std::vector<TopLevelWindow> EnumerateTopLevelWindows();

// Whether the window still exists on the display; false without a display.
bool WindowExists(WindowId id);

// Whether a program's windows have somewhere to go: an X or Wayland display, or a Qt platform the
// user chose (QT_QPA_PLATFORM, such as offscreen).
bool HasDisplay();

}  // namespace platform
